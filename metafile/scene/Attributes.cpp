#include "metafile/scene/Attributes.h"

#include <string>

namespace Kelvane::Metafile {

AttributeArrayHead ReadAttributeArrayHead(Fields& fields) {
  AttributeArrayHead head;
  head.type = fields.Uns32();
  fields.Uns32();  // reserved
  head.place = fields.Uns32();
  if (head.place > kVertexArray) {
    fields.Fail(ErrorKind::OutOfRange, "An AttributeArray's place " + std::to_string(head.place) +
                                           " is none of 0 (triangles), 1 (edges), 2 (vertices)");
  }
  head.positionInArray = fields.Uns32();
  head.useFlag = fields.Uns32();
  return head;
}

std::vector<UV> ReadUVs(Fields& fields, std::uint64_t count) {
  fields.CheckCount(count, 2, 8, "UV");
  std::vector<UV> uvs;
  uvs.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    UV uv;
    uv.u = fields.Float32();
    uv.v = fields.Float32();
    uvs.push_back(uv);
  }
  return uvs;
}

UVTransform ReadUVTransform(Fields& fields) {
  UVTransform transform;
  for (auto& row : transform.m)
    for (double& value : row) value = fields.Float32();
  const double identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  transform.identity = true;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) transform.identity &= transform.m[r][c] == identity[r][c];
  return transform;
}

}  // namespace Kelvane::Metafile
