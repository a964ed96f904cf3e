// NetBIOS names and the SMB text routines shared by the NetBIOS, SMB and
// mailslot decoders.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "decode/dispatch.h"
#include "decode/names.h"

namespace caplib {

// One decoded NetBIOS name.
struct nb_name {
    char name[17];   // after a full 16-byte name: suffix removed, trailing blanks cut
    char scope[64];  // scope labels joined by "."
    uint8_t suffix;  // the sixteenth byte; 0 when the name was not 16 bytes long
};

// Reads the encoded name at pos of msg (compression pointers are offsets
// from the start of msg). Returns the bytes the name occupies at pos, or 0
// when it cannot be read; out is then left empty.
uint32_t nb_name_read(Bytes msg, uint32_t pos, nb_name &out);

// 16 bytes shown as "\xNN", "(" service ")", "." and the longest scope.
inline constexpr size_t kNbNameTextMax = 16 * 4 + 1 + 25 + 1 + 1 + sizeof(nb_name::scope) - 1;
struct NbNameText {
    char text[kNbNameTextMax + 1];
};
// "WORKGROUP(1d/Main-Browser)".
NbNameText nb_name_text(const nb_name &name);

// The 16 raw bytes at off (15 name bytes and the suffix). Bytes past the
// end of b count as zeros.
nb_name nb_name_from_raw(Bytes b, uint32_t off);

struct SmbString {
    char text[1024];
};
// The zero-terminated string at off with bytes outside 0x20..0x7E as
// "\ooo"; stops at the end of b.
SmbString smb_escape(Bytes b, uint32_t off);
// The little-endian 16-bit string at off, one character per unit (its low
// byte); ends at the first unit whose low byte is 0 or at the end of b.
SmbString smb_narrow(Bytes b, uint32_t off);

// Position after n zero-terminated 8-bit strings from pos, or nothing when
// one of them is not terminated inside b.
std::optional<uint32_t> smb_skip_strings(Bytes b, uint32_t pos, unsigned n);
// The same for 16-bit strings, each ending two bytes past the first unit
// whose low byte is 0.
std::optional<uint32_t> smb_skip_wide_strings(Bytes b, uint32_t pos, unsigned n);

// Case-insensitive equality; a view without data (a null name) equals only
// itself.
bool smb_name_equal(std::string_view a, std::string_view b);

NameOrNumber smb_command_name(uint8_t command);

// The mailslot line of a transaction request; smb is the whole SMB from
// its header on, wct its word count.
void smb_mailslot(Bytes smb, uint32_t wct, Text &out);

}  // namespace caplib
