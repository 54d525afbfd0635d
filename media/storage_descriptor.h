// Device identity as the storage property query reports it, decoded from the
// raw descriptor bytes, and the rule that recognises the maker's card reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

// Size of the buffer the property query is answered into.
constexpr size_t kStorageDescriptorBuffer = 10240;

struct DeviceIdentity {
    bool answered = false;   // the query returned a descriptor
    uint32_t removable = 0;  // RemovableMedia
    uint32_t busType = 0;    // BusType
    bool hasVendor = false, hasProduct = false, hasSerial = false, hasRevision = false;
    std::string vendor;  // texts as reported, trailing spaces kept
    std::string product;
    std::string serial;
    std::string revision;
};

// Decodes a STORAGE_DEVICE_DESCRIPTOR of which `returned` bytes are valid
// (at most kStorageDescriptorBuffer are looked at). Each text runs from its
// offset (0 = absent) to its terminating zero, stopping at the end of the
// returned bytes. A descriptor too short to hold its header gives an identity
// with answered = false.
DeviceIdentity parseStorageDescriptor(const uint8_t* descriptor, size_t returned);

// True for the product revision of the maker's QX7R reader: exactly four
// characters, "KV" followed by a decimal number from 1 to 20.
bool isMakerReaderRevision(const std::string& revision);

// The text with its trailing spaces removed.
std::string withoutTrailingSpaces(const std::string& text);

// The text with a run of trailing spaces reduced to one space after the last
// non-space character; a text of only spaces becomes empty.
std::string withOneTrailingSpace(const std::string& text);

// The model text shown for a disk: the vendor with one trailing space kept,
// then the product, with trailing spaces removed from the whole. Empty when
// neither is present.
std::string modelText(const DeviceIdentity& identity);

}  // namespace salvora
