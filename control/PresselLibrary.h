#pragma once
// The library's own identity, for the program's about box and diagnostics.
const char* PresselVersion();
