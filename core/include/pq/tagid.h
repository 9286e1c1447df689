#pragma once
// Small 32-bit identities for objects named in the clipboard tag. Pointers
// are wider than the tag's words, so each object gets a per-process id the
// first time a tag names it; a reader in the same process maps the id back.
// Ids are never reused within a process: once an object that was named calls
// Forget as it goes away, a stale tag cannot name a newer object that happens
// to live at the same address.
#include <cstdint>

namespace pq {
namespace tagid {

// The id of `object` (registered on first use); 0 for null.
std::uint32_t Register(const void* object);
// The object an id names; null for 0, an unknown id or a forgotten object.
const void* Resolve(std::uint32_t id);
// Drops the object's id (called when the object goes away); later tags that
// still carry it resolve to null.
void Forget(const void* object);

}  // namespace tagid
}  // namespace pq
