// How a run ends when an exception escapes after all.
#pragma once

// Its exit status: not 0 (success), 1 or 3 (which deployment recipes read
// as "no match" or "not applicable"), nor 1618, 3010 or 1641 (retry,
// restart). The C runtime's abort() would end with 3.
constexpr int kUnexpectedEndStatus = 6;
