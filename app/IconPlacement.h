// Where the minimised main window draws its icon.
#pragma once

// The offset that centres an icon of `iconSize` in a client area of
// `clientSize` along one axis; integer division rounds toward zero, so an
// area smaller than the icon gives a negative offset.
constexpr int CenteredIconOffset(int clientSize, int iconSize) {
  return (clientSize - iconSize + 1) / 2;
}
