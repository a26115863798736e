#pragma once
// PNG pictures for the data tools: 8-bit RGBA in, 8-bit RGBA out.
#include <cstdint>
#include <vector>

enum { PNG_MAX_SIDE = 16384 };

// Reads any PNG as RGBA rows (4 bytes a pixel, no padding). False with a
// message on standard error through the log.
bool pngReadRGBA(const char* path, int* width, int* height, std::vector<uint8_t>* rgba);
bool pngWriteRGBA(const char* path, int width, int height, const uint8_t* rgba);
// A drawing surface of the engine (any pixel format) as an opaque picture.
struct GdevDC;
bool pngWriteDC(const char* path, const GdevDC* dc);
