#pragma once

#include <string>

// The product web page opened by help requests and the How-to-use button.
constexpr const char* kProductUrl = "http://mojiro.example.org/products/Mojiro/";

// Hands the address to the desktop's URL opener (argument vector, no shell):
// xdg-open unless MOJIRO_URL_OPENER names another program, which lets tests
// see the request without a browser. When the opener cannot be started or
// reports failure, a message box says so and shows the address; an opener
// still busy after a moment is taken to have succeeded.
void OpenUrl(const std::string& strUrl);
