// How the main window makes the employee windows and finds the menus an explorer brings with it.
#pragma once

#include "app/ui/mdiform1.h"

MDIForm1::Factories employeeWindowFactories();
