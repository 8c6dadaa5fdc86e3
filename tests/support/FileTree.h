// Test helper: everything below a folder, to compare an archive before and
// after a run byte for byte.
#pragma once

#include <map>
#include <string>
#include <vector>

// Everything below a folder by relative path: folders end in '/' and map to
// "", files to their content.
using Tree = std::map<std::string, std::string>;

Tree tTree(const std::string& sRoot, const std::string& sBelow = "");

// tWas with the files asFiles and their folders added (content not compared).
Tree tWithFiles(Tree tWas, const std::vector<std::string>& asFiles);

// The paths gone from tWas, new in tIs, and (when bContents) changed; "" when
// the trees are the same.
std::string sDifference(const Tree& tWas, const Tree& tIs, bool bContents);
