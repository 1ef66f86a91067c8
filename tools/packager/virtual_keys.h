// The names of the keyboard's virtual keys as .klc files write them: the documented VK_ names
// without their prefix ("OEM_MINUS", "DECIMAL"), a digit or capital letter for its own key.
#pragma once

#include <cstdint>
#include <string>

// "" for a code that names no key.
std::string VirtualKeyName(uint8_t vk);

// False when the name is no key's.
bool VirtualKeyOfName(const std::string& name, uint8_t* vk);
