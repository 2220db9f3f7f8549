#pragma once

// Where users reach us. Kept in one place until the project has a domain of its own.
namespace rw::addresses {

inline constexpr const char* kHomePage = "https://rootweave.example.org/";
inline constexpr const char* kSupportPage = "https://rootweave.example.org/support";
inline constexpr const char* kSupportEmail = "support@rootweave.example.org";

}  // namespace rw::addresses
