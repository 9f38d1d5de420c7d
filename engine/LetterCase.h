#pragma once

namespace kalvex {

// Whether names that differ only in letter case are one name: so where either side's file
// system treats them so.
enum class LetterCase { Exact, Ignored };

}  // namespace kalvex
