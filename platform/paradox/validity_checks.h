#pragma once

#include "platform/paradox/header.h"

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

class TableFile;

// The validity checks of one field, from the table's .VAL file: values in the
// field's stored form.
struct FieldCheck {
    int field = 0;
    bool required = false;
    std::vector<uint8_t> minimum;  // empty: none
    std::vector<uint8_t> maximum;
    std::vector<uint8_t> defaultValue;
    std::string picture;           // as stored, in the table's code page
    std::string lookupTable;       // file name of the lookup table
};

// A foreign key: fields of this table that must name a row of the parent.
struct Reference {
    std::string parentTable;       // file name of the parent table
    std::vector<int> childFields;  // 0-based, in this table
    std::vector<int> parentFields; // 0-based, in the parent
};

// The checks the host's engine applies to every new row.
class ValidityChecks {
public:
    // Reads a .VAL file for the table. Raises Error for a layout or a rule
    // this engine cannot apply (old layout, a picture it cannot evaluate), so
    // that no row the host would refuse is written.
    ValidityChecks(const std::string& path, const Header& table);

    const std::vector<FieldCheck>& fields() const { return fields_; }
    const std::vector<Reference>& references() const { return references_; }

    // Fills blank fields that have a default, then checks the record: raises
    // Error naming the table, the column and the rule it breaks.
    void apply(std::vector<uint8_t>& record, const TableFile& table) const;

private:
    std::string path_;
    void checkReference(const Reference& r, const std::vector<uint8_t>& record, const TableFile& table) const;

    std::vector<FieldCheck> fields_;
    std::vector<Reference> references_;
};

// Whether a stored alpha value (code-page bytes, NUL padded) fits a picture
// of the plain kind: # digit, ? letter, & letter (upper case), @ any, ! any
// (upper case), every other character itself. False for a picture with
// optional parts, repetitions or alternatives, which this engine does not
// evaluate (see pictureSupported).
bool matchesPicture(const std::string& picture, const std::string& value);
bool pictureSupported(const std::string& picture);

} // namespace paradox
