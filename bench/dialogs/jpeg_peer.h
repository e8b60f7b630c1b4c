// libjpeg-turbo in a file of its own: its headers' TRUE and FALSE clash with the platform's.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes the JPEG to RGB565 at 1/denominator; the number of pixels, 0 on failure.
std::size_t PeerDecodeRgb565(const std::uint8_t* jpeg, std::size_t size, int denominator);
