#pragma once
#include <string>

// A window item's text: the caption's first 63 characters, followed by " ..."
// once the caption reaches 63 characters.
std::wstring shortenCaption(const std::wstring& caption);
