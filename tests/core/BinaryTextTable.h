#pragma once
// The reference table of the binary-as-text forms
// (tests/core/data/binary_text_forms.txt, written by
// scripts/make_binary_text_table.py from Python's base64 module and
// struct.pack).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace binary_text {

using Bytes = std::vector<unsigned char>;

struct Case
{
    std::string form;  // "binary", "base64" or "base64b"
    std::string kind;  // "hex", "f32" or "f64"
    std::string payload;  // as in the table
    std::string text;  // the reference text ("" for the empty text)
    Bytes data;  // the bytes the text encodes
    std::vector<double> values;  // for "f32"/"f64": the packed values
};

inline Bytes FromHex(const std::string& hex)
{
    Bytes out;
    if (hex == "-")
        return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Comma-separated hexadecimal floating values (float.hex()).
inline std::vector<double> Values(const std::string& list)
{
    std::vector<double> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        out.push_back(std::strtod(item.c_str(), nullptr));
    return out;
}

// The values packed little-endian as T (the test machine is little-endian,
// as the document forms are).
template <typename T>
Bytes Pack(const std::vector<double>& values)
{
    Bytes out;
    for (double d : values) {
        const T v = static_cast<T>(d);
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof(T));
        out.insert(out.end(), raw, raw + sizeof(T));
    }
    return out;
}

inline std::vector<Case> Load()
{
    std::vector<Case> rows;
    std::ifstream in(LW_TEST_DATA_DIR "/binary_text_forms.txt");
    EXPECT_TRUE(in.good()) << "missing reference table";
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::stringstream fields(line);
        Case r;
        std::getline(fields, r.form, '\t');
        std::getline(fields, r.kind, '\t');
        std::getline(fields, r.payload, '\t');
        std::getline(fields, r.text, '\t');
        if (r.text == "-")
            r.text.clear();
        if (r.kind == "hex") {
            r.data = FromHex(r.payload);
        } else {
            r.values = Values(r.payload);
            if (r.kind == "f32")
                r.data = Pack<float>(r.values);
            else if (r.kind == "f64")
                r.data = Pack<double>(r.values);
            else
                ADD_FAILURE() << "unknown kind " << r.kind;
        }
        rows.push_back(r);
    }
    return rows;
}

}  // namespace binary_text
