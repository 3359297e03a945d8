// The drive menu: one line per physical disk.
#pragma once

/// Prints "Drive #<N> Name: <model>  Serial: <serial>" per disk. Throws
/// "GetDiskState Failed" when the disks cannot be listed.
void PrintDriveMenu();
