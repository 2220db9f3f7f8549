#pragma once

// The program's fixed names, each written once: how its error reports name a routine, how it knows Excel,
// and where users reach us. Plain text, so every layer (the engine binding included) may use them.
namespace rw::names {

// Every error report names its routine as this prefix, a point, the window or module, a point and the
// routine.
inline constexpr char kReportPrefix[] = "Rootweave7/29/2014";

// Excel's answer to its default value (and its Name).
inline constexpr char kExcelName[] = "Microsoft Excel";

// The class name Excel is created and looked up by.
inline constexpr char kExcelClassName[] = "Excel.Application";

}  // namespace rw::names

// Where users reach us. Kept in one place until the project has a domain of its own.
namespace rw::addresses {

inline constexpr const char* kHomePage = "https://rootweave.example.org/";
inline constexpr const char* kSupportPage = "https://rootweave.example.org/support";
inline constexpr const char* kSupportEmail = "support@rootweave.example.org";

}  // namespace rw::addresses
