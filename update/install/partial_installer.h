// What a download of the installer that did not finish leaves for the next
// run: the bytes written so far, "<installer>.part", and beside it a small
// record of what they are a part of, "<installer>.part.record". The record
// is written only after the bytes it counts have been flushed to the disk,
// so that after a crash or a power cut it never counts more than is there.
// It is trusted no further than the installer's digest at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PartRecord
{
    // The address the bytes came from and the validator of its answer.
    std::string url;
    std::string validator;
    // What the update information announced: the size, and the SHA-256 in
    // hexadecimal (empty where it announced none).
    uint64_t cbSize = 0;
    std::string sha256;
    // The bytes at the start of the part that are on the disk.
    uint64_t cbWritten = 0;
};

std::string PartPath(const std::string& installerPath);
std::string PartRecordPath(const std::string& installerPath);

// Writes the record beside the part: in full to a file of its own first,
// then moved over the last one, so that a record is always whole. False
// when it could not be written.
bool WritePartRecord(const std::string& installerPath, const PartRecord& record);
// False when there is none, or it does not read as one.
bool ReadPartRecord(const std::string& installerPath, PartRecord& record);
// Deletes the part and its record.
void DeletePart(const std::string& installerPath);

// The names of the part and its record in the folder, for the emptying at
// the start to spare: the first record whose part is beside it; none when
// there is no such pair.
std::vector<std::string> FindPartNames(const std::string& folder);
