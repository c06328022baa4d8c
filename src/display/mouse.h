#pragma once
// Mouse picking: every click of the program goes through SELINTVL.

namespace ba {

class Platform;

// Shows the cross-hair, waits for a left or right button press in the active
// window. A left click gives its column / 1000 (the single-precision value
// nearest to it); a right click gives 0.5.
void SELINTVL(Platform& platform, float& x);

}  // namespace ba
