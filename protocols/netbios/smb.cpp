// SMB header, parameter words, negotiate dialects; the SMB text routines.
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "decode/decoders.h"
#include "decode/line.h"
#include "decode/names.h"
#include "protocols/netbios/netbios.h"

namespace caplib {
namespace {

constexpr Named kCommandList[] = {
    {0x00, "mkdir"},
    {0x01, "rmdir"},
    {0x02, "open"},
    {0x03, "create"},
    {0x04, "close"},
    {0x05, "flush"},
    {0x06, "unlink"},
    {0x07, "mv"},
    {0x08, "getattr"},
    {0x09, "setaddr"},
    {0x0A, "read"},
    {0x0B, "write"},
    {0x0C, "lock"},
    {0x0D, "unlock"},
    {0x0E, "ctemp"},
    {0x0F, "mknew"},
    {0x10, "chkpth"},
    {0x11, "exit"},
    {0x12, "lseek"},
    {0x13, "lockread"},
    {0x14, "writeunlock"},
    {0x1A, "readbraw"},
    {0x1B, "readBmpX"},
    {0x1C, "readBs"},
    {0x1D, "writebraw"},
    {0x1E, "writeBmpx"},
    {0x1F, "writeBs"},
    {0x20, "writec"},
    {0x22, "setattrE"},
    {0x23, "getattrE"},
    {0x24, "lockingX"},
    {0x25, "trans"},
    {0x26, "transs"},
    {0x27, "ioctl"},
    {0x28, "ioctls"},
    {0x29, "copy"},
    {0x2A, "move"},
    {0x2B, "echo"},
    {0x2C, "writeclose"},
    {0x2D, "openX"},
    {0x2E, "readX"},
    {0x2F, "writeX"},
    {0x32, "trans2"},
    {0x33, "transs2"},
    {0x34, "findclose"},
    {0x35, "findnclose"},
    {0x70, "tree connect"},
    {0x71, "tree disconnect"},
    {0x72, "negotiate protocol"},
    {0x73, "Session Setup & X (user logon)"},
    {0x74, "user logoff"},
    {0x75, "tree connect and X"},
    {0x80, "dskattr"},
    {0x81, "search directory"},
    {0x82, "ffirst"},
    {0x83, "funique"},
    {0x84, "fclose"},
    {0xA0, "NT transact"},
    {0xA1, "NT transact secondary "},
    {0xA2, "NT create and X"},
    {0xA4, "NT cancel"},
    {0xC0, "open print spool file"},
    {0xC1, "write to print spool file"},
    {0xC2, "close print spool file"},
    {0xC3, "return print queue"},
    {0xD0, "sends"},
    {0xD1, "sendb"},
    {0xD2, "forward user name"},
    {0xD3, "cancel forward"},
    {0xD4, "get machine name"},
    {0xD5, "sendstrt"},
    {0xD6, "sendend"},
    {0xD7, "sendtxt"},
    {0xFE, "invalid"},
};

constexpr std::array<const char *, 256> kCommands = [] {
    std::array<const char *, 256> t{};
    for (const Named &c : kCommandList) t[c.value] = c.text;
    return t;
}();

constexpr uint8_t kNegotiate = 0x72;
constexpr uint8_t kTrans = 0x25;
constexpr uint8_t kResponse = 0x80;
constexpr uint32_t kWords = 33;  // fixed header, the word count last

constexpr size_t kStringRoom = sizeof(SmbString::text);
constexpr size_t kEscapeLimit = kStringRoom - 5;  // one more "\ooo" still fits
constexpr size_t kNarrowLimit = kStringRoom - 2;

// The 17-bit length of a session header in front of the SMB; whatever
// four bytes stand there are read the same way, and none give 0.
uint32_t session_size(const Cursor &cur) {
    Bytes h = cur.before(4);
    if (!h.has(0, 4)) return 0;
    return (h.u8(1) & 1u) << 16 | h.be16(2);
}

// " [%02u]=%5u/0x%04X" without a formatted write: a transaction request
// alone has seventeen words.
Line<24> word_text(uint32_t k, uint16_t v) {
    Line<24> w;
    w.str(" [");
    if (k < 10) w.chr('0');
    w.dec(k).str("]=").dec(v, 5).str("/0x").hex(v, 4);
    return w;
}

// The parameter words that were captured, six on the first line and five
// on every further; the last one shown ends its line. False when the text
// ran out.
bool show_words(Bytes smb, uint32_t wct, Text &out) {
    const char *sep = out.separator();
    const size_t sep_len = std::strlen(sep);
    const uint32_t captured = (smb.size() - kWords) / 2;
    const uint32_t shown = wct < captured ? wct : captured;
    for (uint32_t k = 0; k < shown; ++k) {
        if (!out.put(word_text(k, smb.le16(kWords + 2 * k)).view())) return false;
        // The separator goes in whole or not at all.
        if ((k == shown - 1 || (k != 0 && k % 5 == 0)) &&
            (out.left() <= sep_len || !out.put(sep)))
            return false;
    }
    return true;
}

void show_dialects(Bytes smb, uint32_t area, uint32_t count, Text &out) {
    const uint32_t end = area + count;
    for (uint32_t pos = area + 1; pos < end;) {
        std::optional<uint32_t> len = smb.cstr_len(pos);
        if (!len) return;
        if (!out.add("   \"%.*s\"%s", static_cast<int>(*len), *len ? smb.chars(pos, *len).data() : "",
                     out.separator()))
            return;
        pos += *len + 2;
    }
}

}  // namespace

NameOrNumber smb_command_name(uint8_t command) {
    if (kCommands[command]) return kCommands[command];
    return {"0x%x", command};
}

SmbString smb_escape(Bytes b, uint32_t off) {
    SmbString s;
    Text t(s.text, kStringRoom);
    for (uint32_t i = off; i < b.size() && t.size() < kEscapeLimit; ++i) {
        uint8_t c = b.u8(i);
        if (!c) break;
        if (c >= 0x20 && c <= 0x7E)
            t.put(static_cast<char>(c));
        else
            t.add("\\%03o", c);
    }
    return s;
}

SmbString smb_narrow(Bytes b, uint32_t off) {
    SmbString s;
    char *buf = s.text;
    size_t len = 0;
    for (uint32_t i = off; i < b.size() && len < kNarrowLimit; i += 2) {
        uint8_t c = b.u8(i);
        if (!c) break;
        buf[len++] = static_cast<char>(c);
    }
    buf[len] = '\0';
    return s;
}

std::optional<uint32_t> smb_skip_strings(Bytes b, uint32_t pos, unsigned n) {
    for (; n > 0; --n) {
        std::optional<uint32_t> len = b.cstr_len(pos);
        if (!len) return std::nullopt;
        pos += *len + 1;
    }
    return pos;
}

std::optional<uint32_t> smb_skip_wide_strings(Bytes b, uint32_t pos, unsigned n) {
    for (; n > 0; --n) {
        while (b.has(pos) && b.u8(pos)) pos += 2;
        if (!b.has(pos)) return std::nullopt;
        pos += 2;
    }
    return pos;
}

bool smb_name_equal(std::string_view a, std::string_view b) {
    if (a.data() == b.data() && a.size() == b.size()) return true;
    if (!a.data() || !b.data() || a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

nb_name nb_name_from_raw(Bytes b, uint32_t off) {
    nb_name name{};
    uint32_t len = b.slice(off, 15).cstr_len(0).value_or(b.slice(off, 15).size());
    b.copy_to(off, name.name, len);
    name.suffix = b.has(off + 15) ? b.u8(off + 15) : 0;  // a plain name has none
    return name;
}

uint32_t smb_decode(Cursor &cur, Text &out) {
    const Bytes smb = cur.view();
    const char *sep = out.separator();
    if (!smb.starts_with(0, {0xFF, 'S', 'M', 'B'}) && !out.add("SMB signature not found%s", sep))
        return PROTO_END;

    const uint8_t command = smb.u8(4), flags = smb.u8(9);
    const uint32_t wct = smb.u8(32);
    // The three header lines come with every SMB: assembled by hand.
    Line<64> command_line;
    command_line.str((flags & kResponse) ? "SMB-response \"" : "SMB-request \"")
        .str(smb_command_name(command).c_str())
        .chr('"');
    // "   size=%d cls=%d reh=%d err=%d flg=0x%x flg2=0x%x"
    Line<80> sizes;
    sizes.str("   size=").dec(session_size(cur)).str(" cls=").dec(smb.u8(5)).str(" reh=").dec(smb.u8(6));
    sizes.str(" err=").dec(smb.le16(7)).str(" flg=0x");
    sizes.hex_min(flags).str(" flg2=0x");
    sizes.hex_min(smb.le16(10));
    // "   tid=%d pid=%d uid=%d mid=%d wct=%d"
    Line<64> ids;
    ids.str("   tid=").dec(smb.le16(24)).str(" pid=").dec(smb.le16(26)).str(" uid=").dec(smb.le16(28));
    ids.str(" mid=").dec(smb.le16(30)).str(" wct=").dec(wct);
    for (std::string_view line : {command_line.view(), sizes.view(), ids.view()})
        if (!out.put(line) || !out.put(sep)) return PROTO_END;

    if (!show_words(smb, wct, out)) return PROTO_END;
    const uint32_t count_at = kWords + 2 * wct;
    if (!smb.has(count_at, 2)) {
        out.add("sliced SMB header%s", sep);
        return PROTO_END;
    }
    if (flags & kResponse) return PROTO_END;
    if (command == kNegotiate) show_dialects(smb, count_at + 2, smb.le16(count_at), out);
    if (command == kTrans) smb_mailslot(smb, wct, out);
    return PROTO_END;
}

}  // namespace caplib
