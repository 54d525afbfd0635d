#include "media/device_identity.h"

namespace salvora {

void applyIdentity(MediaReader& reader, const DeviceIdentity& identity) {
    if (!identity.answered)
        return;
    reader.fixedMedia = identity.removable == 0 ? 1 : 0;
    reader.busType = identity.busType;
    if (identity.hasSerial)
        reader.serial = withOneTrailingSpace(identity.serial);
    reader.model = modelText(identity);
    if (identity.hasVendor)
        reader.vendor = withoutTrailingSpaces(identity.vendor);
    if (identity.hasProduct)
        reader.product = withoutTrailingSpaces(identity.product);
    if (identity.hasRevision)
        reader.revision = identity.revision;
}

}  // namespace salvora
