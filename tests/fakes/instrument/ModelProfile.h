#pragma once
// What the test instrument needs to know to act as a model: the queries of
// its main script and where its identity reply holds the model text. Taken
// from the model file through the program's own model-file reader.

#include <cstdint>
#include <string>
#include <vector>

namespace velda::test {

struct ModelProfile {
    std::string name;         // the model list entry
    bool powerSource = false; // the first model: fixed commands
    std::string modelQuery;   // "model" row: query
    int modelStart = 1;       // 1-based position of the model text in the reply
    int modelLength = 0;      // characters compared
    std::string modelText;    // expected text
    std::string statusQuery;  // "getsts" (empty when the model has none)
    std::string errorQuery;   // "geterr" (empty when the model has none)
    std::uint32_t errorMask = 0;
};

// The shipped model file of this source tree.
std::string ShippedModelFile();

// A model-file entry for a SCPI generator on USB(TMC) that takes its
// waveform as a definite-length block ("DATA:ARB <memory name>,<block>"):
// the model `name` with one memory size of `points` and the data mask `mask`.
std::string BlockGeneratorModel(const std::string& name, int points, const std::string& mask);
// Writes the shipped model file with `extra` after it to `path`.
bool WriteModelFileWith(const std::string& path, const std::string& extra);

// The model names of a model file, in list order (empty when it cannot be read).
std::vector<std::string> ModelNames(const std::string& modelFile = ShippedModelFile());

// The profile of `model` (its list name). False, with `error` set, when the
// file cannot be read or has no such model.
bool LoadModelProfile(const std::string& model, ModelProfile* profile, std::string* error,
                      const std::string& modelFile = ShippedModelFile());

// An identity reply that holds `text` from the 1-based position `start`:
// a maker field before it, serial and version after it, comma-separated.
std::string IdentityReply(int start, const std::string& text);

// The columns of a script row's text: split at commas, each column
// stripped of blanks and of one enclosing quote pair.
std::vector<std::string> ScriptColumns(const std::string& text);

} // namespace velda::test
