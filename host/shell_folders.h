#pragma once

#include <cstdint>
#include <string>

// The shell folders the program asks for by their Windows numbers, as the
// XDG folders of the user: 35, the common application data ($XDG_DATA_HOME,
// else ~/.local/share); 5, the documents (XDG_DOCUMENTS_DIR, else
// ~/Documents). Create (or the flag 0x8000 in ID) makes the folder. Raises
// HostError "Erro ao solicitar a pasta." when there is no such folder. The
// path is UTF-8.
std::string shellFolder(uint32_t ID, bool Create);

inline constexpr uint32_t CSIDL_PERSONAL = 5;
inline constexpr uint32_t CSIDL_COMMON_APPDATA = 35;

// The program's version, from the build: "1.0.0".
std::string programVersion();
