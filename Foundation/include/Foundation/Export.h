#pragma once

// Marks what the libraries export. Everything else is built with hidden visibility, so a shared
// build exports the public headers' classes and functions and nothing from src/.
#define RUX_API __attribute__((visibility("default")))
