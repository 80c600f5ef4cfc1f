#pragma once

#include <cstdint>
#include <vector>

#include "metafile/format/Fields.h"
#include "metafile/surfaces/Mapping.h"

// The attribute objects the scene walk reads for texture mapping: the head
// of an AttributeArray, UV pairs and a ShaderUVTransform.
namespace Kelvane::Metafile {

// The attribute types and places of an AttributeArray that matter here.
enum AttributeType : std::uint32_t {
  kSurfaceUV = 1,
  kShadingUV = 2,
  kSurfaceShader = 11,
};
enum ArrayPlace : std::uint32_t {
  kTriangleArray = 0,
  kEdgeArray = 1,
  kVertexArray = 2,
};

struct AttributeArrayHead {
  std::uint32_t type = 0;
  std::uint32_t place = 0;
  std::uint32_t positionInArray = 0;
  std::uint32_t useFlag = 0;
};

// The five fields that begin an AttributeArray. A place other than 0 to 2
// is an error.
AttributeArrayHead ReadAttributeArrayHead(Fields& fields);

// The `count` UV pairs after the head of a UV array.
std::vector<UV> ReadUVs(Fields& fields, std::uint64_t count);

// A ShaderUVTransform's nine numbers.
UVTransform ReadUVTransform(Fields& fields);

}  // namespace Kelvane::Metafile
