// SPDX-License-Identifier: Apache-2.0
// Properties that this project's link connectors share so that a copy can
// tell what it reads and writes, and keep the records it skips.
//
//   Identity      read-only text after connect: what the connection reads or
//                 writes, as "KIND:..." (a file by device and inode, a
//                 database table by its database and name), equal for two
//                 connections of the same object. A copy refuses a target
//                 whose identity is its source's.
//   RejectRecord  read-only text after a fetch that returned a record fault:
//                 the bad record as it was read (a delimited file's raw
//                 lines, line ends included), so that a copy can write it to
//                 its reject file byte for byte. Given as a stream of the
//                 binary kind, so that reading it in any character set
//                 gives the same bytes.
//   RejectLine    read-only Int: the line where that record began (the
//                 record's number for sources without lines).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

inline constexpr uint32_t kIdentity = 0x0F06;
inline constexpr uint32_t kRejectRecord = 0x0F07;
inline constexpr uint32_t kRejectLine = 0x0F08;

// "DEV:INO" of the file that path names once links are resolved, empty
// when there is none (yet).
std::string FileIdentity(const std::string &path);

// Value 1 of field set to bytes as a stream of the binary kind.
uint32_t PutBytes(uint32_t field, std::string_view bytes);

} // namespace rdxc
