// Business-card field correction on the Western code page: keyword passes
// give unknown fields a kind, a digits pass hands out the missing telephone
// kinds, and clean-ups repair each text by its kind.
#pragma once

#include <cstdint>

#include "LumOCREngine.h"

namespace lumocr {

// Intermediate field kinds.
enum CardKind : std::int32_t {
    kKindTelephone = 0,
    kKindFax = 1,
    kKindMobile = 2,
    kKindEmail = 3,
    kKindWeb = 4,
    kKindAddress = 5,
    kKindName = 6,
    kKindCompany = 7,
    kKindFurther = 8,
    kKindUnknown = 15,
};

inline constexpr int kCardTextBytes = 200;        // buffer of one field's text
inline constexpr int kCardTextMax = kCardTextBytes - 1;

struct CardFieldEntry {
    std::int32_t kind;
    std::int32_t length;  // text bytes that count
    char* text;           // kCardTextBytes, owned; freed by EntriesToRecords
    std::int32_t unused1;
    std::int32_t unused2;
};

// Runs every pass over the fields, in place.
void CorrectCardFields(int count, CardFieldEntry* fields);

// Copies the fields into the records with their final types and frees the texts.
void EntriesToRecords(CardFieldEntry* fields, OcrCardField* records, int count);

// The record type of an intermediate kind.
std::int32_t RecordTypeOfKind(std::int32_t kind);

// The single clean-ups, exposed for their tables of cases.
void TelephoneCleanup(CardFieldEntry& field);
void EmailCleanup(CardFieldEntry& field);
enum class FilterMode { Name, Address };
void CharacterFilter(CardFieldEntry& field, FilterMode mode);
void DomainAndCompanyFixes(CardFieldEntry& field);

}  // namespace lumocr
