// The texts the data-aware controls show (Windows-1252 bytes), with their
// message numbers.
#pragma once

namespace orvex {

inline constexpr const char* kTooManyColumns = "Zu viele Spalten in Tabelle";  // 57370
inline constexpr const char* kConfirmRestore = "Datensatz restaurieren ?";     // 57862
inline constexpr const char* kConfirmDelete = "Datensatz l\xF6schen ?";        // 57863

}  // namespace orvex
