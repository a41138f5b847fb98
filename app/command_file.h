#pragma once

#include <string>

// Reads the command file whole into `command_text`, chunk by chunk; a zero
// byte cuts its chunk short. False when the file does not open.
bool ReadCommandFile(const char* path, std::string& command_text);
