#pragma once

namespace app {

// Converts like the C runtime's atoi: leading white space, one optional sign,
// decimal digits up to the first other character; no digit gives 0. Values
// beyond the 32-bit range are clamped to it, where atoi may wrap.
int ConvertLikeAtoi(const char* text);

bool IsValidPort(int port);
bool IsValidLayer(int layer_number);

void PrintUsage();

}  // namespace app
