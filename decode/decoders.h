// Every decoder of the chain, by protocol family.
#pragma once

#include "decode/dispatch.h"

namespace caplib {

// link
uint32_t decode_ethernet(Cursor &, Text &);
uint32_t decode_tokenring(Cursor &, Text &);
uint32_t decode_arp(Cursor &, Text &);
uint32_t decode_pppoe_discovery(Cursor &, Text &);
uint32_t decode_pppoe_session(Cursor &, Text &);

// ip
uint32_t decode_ip(Cursor &, Text &);      // plain IPv4 (mode 0)
uint32_t decode_ip_vju(Cursor &, Text &);  // Van Jacobson uncompressed (mode 1)
uint32_t decode_icmp(Cursor &, Text &);
uint32_t decode_udp(Cursor &, Text &);
uint32_t decode_tcp(Cursor &, Text &);
uint32_t decode_vjc(Cursor &, Text &);

// netbios
uint32_t decode_nbss(Cursor &, Text &);
uint32_t decode_nbns(Cursor &, Text &);
uint32_t decode_nbds(Cursor &, Text &);
uint32_t smb_decode(Cursor &, Text &);

// ipx
uint32_t decode_ipx(Cursor &, Text &);
uint32_t decode_spx(Cursor &, Text &);
uint32_t decode_ncp(Cursor &, Text &);
uint32_t decode_ipxwan(Cursor &, Text &);
uint32_t decode_ipx_nbname(Cursor &, Text &);
uint32_t decode_ipx_nbdata(Cursor &, Text &);

// ppp (chain mode)
uint32_t decode_ppp_chain(Cursor &, Text &);

}  // namespace caplib
