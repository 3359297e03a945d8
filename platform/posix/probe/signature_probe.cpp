// Signatures and partition tables on a whole device, found by libblkid the
// way wipefs finds them: every prober of both chains, GPT without its
// protective MBR included, so a table known only by its backup header at the
// end of the device still counts.
#include <blkid/blkid.h>

#include <cerrno>
#include <memory>

#include "platform/posix/probe/probe_steps.h"

namespace platform::posix {

int FindSignature(const std::string& path, std::string* finding, bool* partitionTable) {
    finding->clear();
    *partitionTable = false;
    errno = 0;
    std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(path.c_str()), &blkid_free_probe);
    if (!probe) return errno != 0 ? errno : EIO;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_MAGIC);
    blkid_probe_enable_partitions(probe.get(), 1);
    blkid_probe_set_partitions_flags(probe.get(), BLKID_PARTS_FORCE_GPT | BLKID_PARTS_MAGIC);

    std::string signature;
    int rc;
    while ((rc = blkid_do_probe(probe.get())) == 0) {
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe.get(), "PTTYPE", &value, nullptr) == 0) {
            *finding = std::string(value) + " partition table";
            *partitionTable = true;
            return 0;  // a table decides: the operator is told about partitions
        }
        if (signature.empty() &&
            blkid_probe_lookup_value(probe.get(), "TYPE", &value, nullptr) == 0)
            signature = std::string(value) + " signature";
    }
    if (rc < 0) return errno != 0 ? errno : EIO;
    *finding = signature;
    return 0;
}

}  // namespace platform::posix
