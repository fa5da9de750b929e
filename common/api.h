#pragma once

// common/ is built into the platform library, so every process loads one copy of it; this marks
// what that library exports of it (everything else is built hidden).
#define COMMON_API __attribute__((visibility("default")))
