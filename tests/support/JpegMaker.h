// JPEG pictures made by libjpeg for the tests of the decoder and the sponsor window.
#pragma once

#include <string>

// A baseline JPEG of the given size with a colour gradient (a grey one for
// Grey), whose top left pixel is close to red 200, green 40, blue 40.
std::string MakeJpeg(int Width, int Height, bool Grey = false);
