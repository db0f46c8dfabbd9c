#pragma once

#include <cstddef>

namespace pelko::bench {

// Every heap block of this program (malloc and its kin, which operator new uses too) is
// counted: the bytes in use now and the highest count since the last reset.
std::size_t heap_in_use();
std::size_t heap_peak();
// Starts a new peak at the bytes in use now.
void reset_heap_peak();

}  // namespace pelko::bench
