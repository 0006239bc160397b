// Byte locks and share modes between open files.
//
// The engine's files are shared by several workstations (several processes,
// possibly on several machines over a network file system). It expects of
// the file service what a Windows file server gives:
//
//  - A byte lock is exclusive, belongs to one open file (one DosFile), and is
//    released when that file is closed - not when some other descriptor of
//    the same host file is closed, and not when the process opens and closes
//    the file again elsewhere.
//  - Locks are mandatory for the platform's own reads and writes: reading a
//    range that overlaps a byte locked through another open file fails with
//    io::kShortRead (100), writing one fails with io::kAccessDenied (5). The
//    open file that holds the lock reads and writes freely.
//  - The share mode given at open (Share) is enforced between open files: an
//    open whose access another open file's share mode forbids, or whose share
//    mode forbids an access another open file already has, fails with 5.
//
// POSIX record locks (F_SETLK) cannot give the first point: they belong to
// the process and every close of any descriptor of the file drops all of
// them. Open-file-description locks (F_OFD_SETLK, Linux 3.15 and later) are
// owned by the open file description instead, which is exactly one DosFile
// here (its descriptor is never duplicated). They are advisory for the
// kernel, so every read and write of DosFile first asks (F_OFD_GETLK) whether
// another open file holds a conflicting lock on the range; that gives the
// mandatory behaviour for every program that uses this platform.
//
// Share modes are kept as shared (read) locks on marker bytes far beyond any
// real data (kShareMarkerBase): one byte each for "has read access",
// "has write access", "denies read" and "denies write". An open tests the
// markers that would conflict with it and then takes its own; a gate byte,
// locked exclusively for the few calls that take, makes the test and the
// taking one step between processes. The markers belong to the open file
// and disappear when it is closed, or when its process ends in any way.
//
// OFD locks are carried by network file systems that carry POSIX locks (NFS
// through the lock manager or NFSv4 state, SMB with POSIX extensions), since
// the kernel hands them to the file system like other POSIX locks. Where the
// kernel refuses OFD commands (EINVAL), the process-owned commands are used
// instead; locks then still work between processes, but a close of another
// descriptor of the same file inside one process drops them.
//
// Exclusive locks need a descriptor open for writing: OpenFile therefore
// opens the host file for reading and writing even when the handle only
// reads (the handle still refuses writes), and falls back to the narrower
// host mode only when the host refuses the wider one. On such a descriptor a
// lock is taken as a shared lock, which keeps writers out but not another
// reader's lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dos_file.h"
#include "platform/io_codes.h"

namespace platform {

// Where the share-mode marker bytes start (2^62 + 2^61: beyond the size any
// data file reaches, inside every file system's lock range).
inline constexpr int64_t kShareMarkerBase = int64_t{0x6000000000000000};

namespace byte_lock {

// Whether another open file holds a lock on [offset, offset + n) that keeps
// out a read (forWrite false) or a write (forWrite true) through fd.
bool RangeLockedByOther(int fd, int64_t offset, size_t n, bool forWrite);

// Tests the share markers of the file and takes this open file's markers.
// Returns 0, or 5 when another open file's access or share mode conflicts
// (nothing is taken then). writable: the descriptor is open for writing on
// the host.
IoCode ClaimShareMode(int fd, bool writable, Access access, Share share);

// For tests: whether the OFD commands are in use (false after a fallback).
bool UsingOpenFileLocks();

}  // namespace byte_lock
}  // namespace platform
