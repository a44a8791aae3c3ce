#include "PresselLibrary.h"

const char* PresselVersion() { return "1.0.0"; }
