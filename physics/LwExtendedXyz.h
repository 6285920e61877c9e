#pragma once
// Reader of (extended) XYZ text: frames of a count line, a title line and one
// line per atom, each frame one structure of a cluster.
//
// Atom lines are split at runs of blanks, tabs and commas into
//   species x y z          (Angstrom; the species is both name and element)
//   species x y z Uiso     (Uiso in square Angstrom; the frame's title must
//                           hold Properties="species:S:1:pos:R:3:Uiso:R:1")
// Empty lines are dropped before anything is read, so an empty title line
// vanishes and the next line takes its place. A count line of 0 (or one that
// is no number) ends the reading; a negative count gives an empty structure.
// A frame whose atom lines run out early keeps the atoms read.

#include "physics/LwClusterAtom.h"

#include <deque>
#include <string>

class LwFile;

// The title text that announces the Uiso column, double quotes included.
extern const char* const kExtendedXyzUisoProperties;

// Replaces `cluster` by the frames of the file's whole text. With `check` the
// cluster then goes through CheckCluster, as a cluster document does, so an
// emitter off the origin, overlapping atoms or an empty structure is reported
// before any calculation uses it. LwError texts: "File is not XYZ structure"
// (an atom line of fewer than 4 or more than 5 fields), "title should include :"
// and the Properties text (a five-field line in a frame without it), and those
// of CheckCluster. After a read error the cluster holds the complete frames
// before the failing one.
void LoadExtendedXyz(LwCluster& cluster, LwFile& file, bool check);
// The same on a text already read.
void LoadExtendedXyzText(LwCluster& cluster, const std::string& text, bool check);

// Every maximal run of bytes other than CR and LF, in order.
void SplitNonEmptyLines(std::deque<std::string>& lines, const std::string& text);
// Reads one frame from the front of `lines` into `structure` (replaced).
// False when no count and title line are left or the count is 0.
bool LoadExtendedXyzFrame(LwStructure& structure, std::deque<std::string>& lines);
// Moves the first line into `line`; false when none is left.
bool PopFrontLine(std::string& line, std::deque<std::string>& lines);
