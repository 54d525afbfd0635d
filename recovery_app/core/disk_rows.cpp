#include "recovery_app/core/disk_rows.h"

#include "recovery_app/core/size_text.h"

namespace salvora {

std::string diskName(const MediaReader& disk) {
    if (!disk.product.empty())
        return disk.product;
    if (!disk.model.empty())
        return disk.model;
    return disk.devicePath;
}

std::vector<DiskRow> diskRows(const DiskList& list, int32_t filter) {
    std::vector<DiskRow> rows;
    for (const auto& reader : list.readers) {
        if (rows.size() == kMaxDiskRows)
            break;
        if (filter != kAllDisks && static_cast<uint32_t>(filter) != reader->fixedMedia)
            continue;
        rows.push_back({reader->model, sizeText(reader->size), reader.get()});
    }
    return rows;
}

}  // namespace salvora
