// The notice shown while an operation waits for another program to finish writing to the database: it
// appears once the wait has lasted a while, keeps the windows drawn meanwhile, and its Cancel gives the
// wait up (the operation then fails saying so). It goes away by itself once the wait is over.
#pragma once

// Installs the notice as the data layer's wait hook (app/writewait.h); the notice's object name is
// "WriteWaitNotice".
void installWriteWaitNotice();
