#pragma once

#include <string>

// The product web page opened by help requests and the How-to-use button.
constexpr const char* kProductUrl = "http://mojiro.example.org/products/Mojiro/";

// Hands the address to the desktop's URL opener (argument vector, no shell).
// The command is xdg-open unless MOJIRO_URL_OPENER names another program,
// which lets tests see the request without a browser. Returns at once.
void OpenUrl(const std::string& strUrl);
