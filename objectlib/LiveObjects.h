#pragma once

namespace kelo {

// Every object the library hands out (manager included) counts itself here
// while it lives, so tests can prove that nothing is leaked or kept.
void CountObjectCreated() noexcept;
void CountObjectDestroyed() noexcept;
long LiveObjects() noexcept;

}  // namespace kelo
