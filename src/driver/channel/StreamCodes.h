// The codes that name a stream in every record: station, location, channel
// and network, record bytes 8 to 19, blank padded. Where each code lies and
// how wide it is comes from the record header's layout, named here once for
// the command line, the archive's paths, the checks and the messages.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "mseed/SeedRecord.h"

using StreamCodes = std::array<char, 12>;

// Where StreamCodes lie in a record.
constexpr size_t nCodesAt = offsetof(SeedFixedHeader, Station_identifier_code);

// One code within StreamCodes: its offset and width.
struct CodeField {
    size_t nAt;
    size_t nWidth;
};

constexpr CodeField tStationField{offsetof(SeedFixedHeader, Station_identifier_code) - nCodesAt,
                                  sizeof(SeedFixedHeader::Station_identifier_code)};
constexpr CodeField tLocationField{offsetof(SeedFixedHeader, Location_identifier) - nCodesAt,
                                   sizeof(SeedFixedHeader::Location_identifier)};
constexpr CodeField tChannelField{offsetof(SeedFixedHeader, Channel_identifier) - nCodesAt,
                                  sizeof(SeedFixedHeader::Channel_identifier)};
constexpr CodeField tNetworkField{offsetof(SeedFixedHeader, Network_code) - nCodesAt,
                                  sizeof(SeedFixedHeader::Network_code)};
static_assert(tNetworkField.nAt + tNetworkField.nWidth == std::tuple_size_v<StreamCodes>);

// Code f of t, its trailing blanks dropped.
std::string sCodeField(const StreamCodes& t, CodeField f);

// NET.STA.LOC.CHA of the codes, blanks dropped (XX.ABC..HHZ).
std::string sStreamName(const StreamCodes& t);

// The codes the record at pRecord carries.
StreamCodes tCodesOfRecord(const unsigned char* pRecord);
