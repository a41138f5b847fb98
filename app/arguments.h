#pragma once

namespace app {

// Converts like the C runtime's atoi: leading white space, one optional sign,
// decimal digits up to the first other character; no digit gives 0. Unlike
// some runtimes it clamps to the 32-bit bounds instead of wrapping.
int ConvertLikeAtoi(const char* text);

bool IsValidPort(int port);
bool IsValidLayer(int layer_number);

void PrintUsage();

}  // namespace app
