// Browser and domain logon messages carried in mailslot transactions.
#include <array>
#include <cstdint>

#include "decode/decoders.h"
#include "decode/line.h"
#include "decode/names.h"
#include "protocols/netbios/netbios.h"

namespace caplib {
namespace {

constexpr uint32_t kByteArea = 35;    // plus two bytes per parameter word
constexpr uint32_t kDataOffset = 57;  // parameter word 12

NbNameText name16(Bytes m, uint32_t off) { return nb_name_text(nb_name_from_raw(m, off)); }

int text_len(uint32_t len) { return static_cast<int>(len); }
// Bytes of a string already known to lie inside the message, for "%.*s".
const char *text_at(Bytes m, uint32_t off, uint32_t len) {
    std::string_view s = m.chars(off, len);
    return s.empty() ? "" : s.data();
}

// A 16-byte name field can be read when it was captured whole, or when
// its name ends inside the captured bytes: several messages carry a plain
// zero-terminated name there, and the bytes past the frame count as zeros.
bool name16_captured(Bytes m, uint32_t off) {
    return m.has(off, 16) || m.slice(off, 15).cstr_len(0).has_value();
}

using Show = void (*)(Bytes m, Text &out);

// Each form is shown only when the bytes it reads were captured: `fixed`
// counts the fields from the start of the message, `name` is where its
// name field starts (kNoName: none).
constexpr uint32_t kNoName = 0;

struct BrowseForm {
    uint8_t opcode;
    uint32_t fixed;
    uint32_t name;
    Show show;
};

// Announcements are most of the browser traffic: their lines, and those
// of the requests around them, are assembled without formatted writes.
void announcement(Bytes m, Text &out) {
    const char *sep = out.separator();
    // "BROWSE Anncounce(%d) %s"
    Line<32> opcode;
    opcode.str("BROWSE Anncounce(").dec(m.u8(0)).str(") ");
    if (!out.put(opcode.view()) || !out.put(name16(m, 6).text)) return;
    std::optional<uint32_t> comment = m.cstr_len(32);
    if (!comment) {
        out.put(sep);  // the rest was not captured: end the line here
        return;
    }
    // " count=%d ttl=%d OS=(%d,%d) stype=0x%lx sig=0x%lx 0x%lx comment=%s%s"
    Line<112> fields;
    fields.str(" count=").dec(m.u8(1)).str(" ttl=").dec(m.le32(2) / 1000).str(" OS=(").dec(m.u8(22));
    fields.chr(',').dec(m.u8(23)).str(") stype=0x");
    fields.hex_min(m.le32(24)).str(" sig=0x");
    fields.hex_min(m.u8(28)).str(" 0x");
    fields.hex_min(m.u8(30)).str(" comment=");
    if (out.put(fields.view()) && out.put(smb_escape(m, 32).text)) out.put(sep);
}

void announcement_request(Bytes m, Text &out) {
    // "BROWSE Anncouncement request from \"%s\" token=0x%x%s"
    Line<24> token;
    token.str("\" token=0x").hex_min(m.u8(1));
    if (out.put("BROWSE Anncouncement request from \"") && out.put(name16(m, 2).text) && out.put(token.view()))
        out.put(out.separator());
}

void election(Bytes m, Text &out) {
    // "BROWSE election request from \"%s\" vers=%d criterion=%08x timeup=%d%s"
    Line<64> fields;
    fields.str("\" vers=").dec(m.u8(1)).str(" criterion=").hex_lower(m.le32(2), 8);
    fields.str(" timeup=").dec(m.le32(6) / 1000);
    if (out.put("BROWSE election request from \"") && out.put(name16(m, 14).text) && out.put(fields.view()))
        out.put(out.separator());
}

void backup_request(Bytes m, Text &out) {
    out.add("BROWSE get backup list request count=%d token=0x%x%s", m.u8(1), m.le32(2),
            out.separator());
}

void backup_response(Bytes m, Text &out) {
    out.add("BROWSE get backup list response count=%d token=0x%x \"%s\"%s", m.u8(1), m.le32(2),
            name16(m, 6).text, out.separator());
}

void master_announce(Bytes m, Text &out) {
    out.add("BROWSE Master Announce from \"%s\"%s", name16(m, 1).text, out.separator());
}

void reset(Bytes m, Text &out) { out.add("BROWSER reset state=0x%x%s", m.u8(1), out.separator()); }

void unknown_browse(Bytes m, Text &out) {
    out.add("browse packet %d ?%s", m.u8(0), out.separator());
}

// The announcement checks the fields of its second piece itself.
constexpr std::array<BrowseForm, 9> kBrowseForms = {{
    {1, 6, 6, announcement},
    {2, 2, 2, announcement_request},
    {8, 14, 14, election},
    {9, 6, kNoName, backup_request},
    {10, 6, 6, backup_response},
    {12, 6, 6, announcement},
    {13, 1, 1, master_announce},
    {14, 2, kNoName, reset},
    {15, 6, 6, announcement},
}};

void browser(Bytes m, Text &out) {
    if (m.empty()) return;
    const BrowseForm *found = find(kBrowseForms, &BrowseForm::opcode, m.u8(0));
    const BrowseForm form = found ? *found : BrowseForm{m.u8(0), 1, kNoName, unknown_browse};
    if (m.has(0, form.fixed) && (form.name == kNoName || name16_captured(m, form.name)))
        form.show(m, out);
}

// Domain logon: computer, user and mailslot, then a byte, the request
// count and the token.
void domain_logon(Bytes m, Text &out) {
    std::optional<uint32_t> s2 = smb_skip_strings(m, 2, 1), s3 = smb_skip_strings(m, 2, 2),
                            p = smb_skip_strings(m, 2, 3);
    if (!p || !m.has(*p, 5)) return;
    uint32_t l1 = *s2 - 3, l2 = *s3 - *s2 - 1, l3 = *p - *s3 - 1;
    out.add("Domainlogin: \"%.*s\" on \"%.*s\" as \"%.*s\" reqcnt=%d token=0x%x%s", text_len(l3),
            text_at(m, *s3, l3), text_len(l1), text_at(m, 2, l1), text_len(l2), text_at(m, *s2, l2),
            m.le16(*p + 1), m.le16(*p + 3), out.separator());
}

// Computer and mailslot, then the token.
void getdc(Bytes m, Text &out) {
    std::optional<uint32_t> s2 = smb_skip_strings(m, 2, 1), p = smb_skip_strings(m, 2, 2);
    if (!p || !m.has(*p, 2)) return;
    uint32_t l1 = *s2 - 3, l2 = *p - *s2 - 1;
    out.add("GETDC: \"%.*s\" on \"%.*s\" token=0x%x%s", text_len(l2), text_at(m, *s2, l2),
            text_len(l1), text_at(m, 2, l1), m.le16(*p), out.separator());
}

// Request count, 16-bit computer and user names, 8-bit mailslot, account
// control, the domain identifier with its size, three bytes, the version
// and the two tokens.
void samlogon(Bytes m, Text &out) {
    std::optional<uint32_t> user = smb_skip_wide_strings(m, 4, 1),
                            slot = smb_skip_wide_strings(m, 4, 2);
    std::optional<uint32_t> p = slot ? smb_skip_strings(m, *slot, 1) : std::nullopt;
    if (!p || !m.has(*p, 8)) return;
    const int32_t dss = static_cast<int32_t>(m.le32(*p + 4));
    // The domain identifier size is the sender's word: what follows the
    // identifier is read only when it was captured.
    const int64_t version = int64_t{*p} + 11 + dss;
    if (version < 0 || version > m.size() || !m.has(static_cast<uint32_t>(version), 8)) return;
    const uint32_t n = static_cast<uint32_t>(version);
    const uint32_t slot_len = *p - *slot - 1;
    out.add("SAMLOGON: from \"%s\" as \"%s\" (\"%.*s\") aa=%d dss=%d ntv=%ld nttoken=%u lmtoken=%u%s",
            smb_narrow(m, 4).text, smb_narrow(m, *user).text, text_len(slot_len), text_at(m, *slot, slot_len),
            static_cast<int32_t>(m.le32(*p)), dss, static_cast<long>(static_cast<int32_t>(m.le32(n))),
            m.le16(n + 4), m.le16(n + 6), out.separator());
}

struct LogonForm {
    uint16_t opcode;
    Show show;
};

constexpr std::array<LogonForm, 3> kLogonForms = {{
    {0, domain_logon},
    {7, getdc},
    {18, samlogon},
}};

void logon(Bytes m, Text &out) {
    if (!m.has(0, 2)) return;
    const uint16_t opcode = m.le16(0);
    if (const LogonForm *f = find(kLogonForms, &LogonForm::opcode, opcode)) return f->show(m, out);
    out.add("Domain request: %d%s", opcode, out.separator());
}

// Mailslot forms: the message at the data offset, or strings behind the name.
enum class Carries { Browser, Logon, ThreeWide, OneString };

struct Mailslot {
    std::string_view name;
    Carries carries;
};

constexpr std::array<Mailslot, 6> kMailslots = {{
    {"\\MAILSLOT\\BROWSE", Carries::Browser},
    {"\\MAILSLOT\\NET\\NETLOGON", Carries::Logon},
    {"\\MAILSLOT\\NET\\NTLOGON", Carries::Logon},
    {"\\MAILSLOT\\NET\\GETDC042", Carries::ThreeWide},
    {"\\MAILSLOT\\TEMP\\NETLOGON", Carries::OneString},
    {"\\MAILSLOT\\NET\\GETDC000", Carries::OneString},
}};

}  // namespace

void smb_mailslot(Bytes smb, uint32_t wct, Text &out) {
    const char *sep = out.separator();
    const uint32_t name_at = kByteArea + 2 * wct;
    std::optional<uint32_t> name_len = smb.cstr_len(name_at);
    if (!name_len) return;
    const std::string_view name = smb.chars(name_at, *name_len);

    const Mailslot *slot = nullptr;
    for (const Mailslot &m : kMailslots)
        if (smb_name_equal(name, m.name)) {
            slot = &m;
            break;
        }
    if (!slot) {
        out.add("Mailslot: \"%s\"%s", smb_escape(smb, name_at).text, sep);
        return;
    }

    // Strings behind the name start two bytes past its terminator.
    const uint32_t behind = name_at + *name_len + 1 + 2;
    switch (slot->carries) {
    case Carries::Browser:
    case Carries::Logon: {
        if (!smb.has(kDataOffset, 2)) return;
        Bytes m = smb.from(smb.le16(kDataOffset));
        if (slot->carries == Carries::Browser)
            browser(m, out);
        else
            logon(m, out);
        return;
    }
    case Carries::ThreeWide: {
        std::optional<uint32_t> user = smb_skip_wide_strings(smb, behind, 1),
                                domain = smb_skip_wide_strings(smb, behind, 2),
                                end = smb_skip_wide_strings(smb, behind, 3);
        if (!end) return;
        out.add("Mailslot: \"%s\" PDC=\"%s\" user=\"%s\" domain=\"%s\"%s", smb_escape(smb, name_at).text,
                smb_narrow(smb, behind).text, smb_narrow(smb, *user).text, smb_narrow(smb, *domain).text, sep);
        return;
    }
    case Carries::OneString:
        if (!smb.cstr_len(behind)) return;
        out.add("Mailslot: \"%s\" \"%s\"%s", smb_escape(smb, name_at).text, smb_escape(smb, behind).text, sep);
        return;
    }
}

}  // namespace caplib
