// The data folder at start: tells the operator when earlier data was moved, asks before creating a
// folder that was named explicitly but does not exist, and creates the folder and its temp/.
#pragma once

#include "app/appfacts.h"

// Makes `dir` the application directory. Returns false when the program should end: the operator
// declined to create a missing named folder, or it could not be created (the cause was shown).
bool startInDataDirectory(const AppFacts::DataDirectory& dir);
