#pragma once

// Counts the heap allocations that the calling thread makes while counting is on: every malloc,
// calloc, realloc and aligned allocation, and so every operator new and every buffer of Qt's and
// OpenCV's as well.
namespace heap {

void StartCounting();
long StopCounting(); // the allocations since StartCounting

} // namespace heap
