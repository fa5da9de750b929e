#pragma once

// Everything else is built with hidden visibility; the platform's interface is what every
// process and plug-in shares, so it is exported from the one shared library.
#define PLATFORM_API __attribute__((visibility("default")))
