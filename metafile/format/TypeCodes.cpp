#include "metafile/format/TypeCodes.h"

#include <array>

namespace Kelvane::Metafile {
namespace {

// Codes as QuickDraw 3D 1.5 writes them; names as its text form spells
// them. Where a class has no text name of its own in the format, the name of
// the library class that reads it is used.
constexpr std::array kTable = {
    // The file's own structure.
    TypeCode{FourCC("3DMF"), "3DMetafile"},
    TypeCode{FourCC("toc "), "TableOfContents"},
    TypeCode{FourCC("rfrn"), "Reference"},
    TypeCode{FourCC("type"), "Type"},
    TypeCode{FourCC("cntr"), "Container"},
    TypeCode{FourCC("bgng"), "BeginGroup"},
    TypeCode{FourCC("endg"), "EndGroup"},
    TypeCode{FourCC("unix"), "UnixPath"},
    TypeCode{FourCC("alis"), "MacintoshPath"},
    TypeCode{FourCC("ukbn"), "UnknownBinary"},
    TypeCode{FourCC("uktx"), "UnknownText"},
    // Strings.
    TypeCode{FourCC("strc"), "CString"},
    TypeCode{FourCC("uncd"), "Unicode"},
    // Geometry and its parts.
    TypeCode{FourCC("box "), "Box"},
    TypeCode{FourCC("cone"), "Cone"},
    TypeCode{FourCC("cyln"), "Cylinder"},
    TypeCode{FourCC("disk"), "Disk"},
    TypeCode{FourCC("elps"), "Ellipse"},
    TypeCode{FourCC("elpd"), "Ellipsoid"},
    TypeCode{FourCC("gpgn"), "GeneralPolygon"},
    TypeCode{FourCC("gplh"), "GeneralPolygonHint"},
    TypeCode{FourCC("line"), "Line"},
    TypeCode{FourCC("mrkr"), "Marker"},
    TypeCode{FourCC("mrkp"), "PixmapMarker"},
    TypeCode{FourCC("mesh"), "Mesh"},
    TypeCode{FourCC("crnr"), "MeshCorners"},
    TypeCode{FourCC("edge"), "MeshEdges"},
    TypeCode{FourCC("nrbc"), "NURBCurve"},
    TypeCode{FourCC("nb2c"), "NURBCurve2D"},
    TypeCode{FourCC("nrbp"), "NURBPatch"},
    TypeCode{FourCC("pnt "), "Point"},
    TypeCode{FourCC("plyg"), "Polygon"},
    TypeCode{FourCC("plyl"), "PolyLine"},
    TypeCode{FourCC("plhd"), "Polyhedron"},
    TypeCode{FourCC("tors"), "Torus"},
    TypeCode{FourCC("trng"), "Triangle"},
    TypeCode{FourCC("trig"), "TriGrid"},
    TypeCode{FourCC("tmsh"), "TriMesh"},
    TypeCode{FourCC("atar"), "AttributeArray"},
    TypeCode{FourCC("caps"), "Caps"},
    // Attributes, attribute sets and their lists.
    TypeCode{FourCC("attr"), "AttributeSet"},
    TypeCode{FourCC("camb"), "AmbientCoefficient"},
    TypeCode{FourCC("kdif"), "DiffuseColor"},
    TypeCode{FourCC("kspc"), "SpecularColor"},
    TypeCode{FourCC("cspc"), "SpecularControl"},
    TypeCode{FourCC("kxpr"), "TransparencyColor"},
    TypeCode{FourCC("sruv"), "SurfaceUV"},
    TypeCode{FourCC("shuv"), "ShadingUV"},
    TypeCode{FourCC("srtn"), "SurfaceTangent"},
    TypeCode{FourCC("nrml"), "Normal"},
    TypeCode{FourCC("hlst"), "HighlightState"},
    TypeCode{FourCC("tcas"), "TopCapAttributeSet"},
    TypeCode{FourCC("bcas"), "BottomCapAttributeSet"},
    TypeCode{FourCC("fcas"), "FaceCapAttributeSet"},
    TypeCode{FourCC("icas"), "InteriorCapAttributeSet"},
    TypeCode{FourCC("gasl"), "GeometryAttributeSetList"},
    TypeCode{FourCC("fasl"), "FaceAttributeSetList"},
    TypeCode{FourCC("vasl"), "VertexAttributeSetList"},
    // Styles.
    TypeCode{FourCC("bckf"), "BackfacingStyle"},
    TypeCode{FourCC("intp"), "InterpolationStyle"},
    TypeCode{FourCC("fist"), "FillStyle"},
    TypeCode{FourCC("high"), "HighlightStyle"},
    TypeCode{FourCC("sbdv"), "SubdivisionStyle"},
    TypeCode{FourCC("ofdr"), "OrientationStyle"},
    TypeCode{FourCC("rcsh"), "ReceiveShadowsStyle"},
    TypeCode{FourCC("pkid"), "PickIDStyle"},
    TypeCode{FourCC("pkpt"), "PickPartsStyle"},
    TypeCode{FourCC("anti"), "AntiAliasStyle"},
    TypeCode{FourCC("fogg"), "FogStyle"},
    // Transforms.
    TypeCode{FourCC("trns"), "Translate"},
    TypeCode{FourCC("scal"), "Scale"},
    TypeCode{FourCC("mtrx"), "Matrix"},
    TypeCode{FourCC("rott"), "Rotate"},
    TypeCode{FourCC("rtap"), "RotateAboutPoint"},
    TypeCode{FourCC("rtaa"), "RotateAboutAxis"},
    TypeCode{FourCC("qtrn"), "Quaternion"},
    TypeCode{FourCC("rset"), "Reset"},
    TypeCode{FourCC("sdxf"), "ShaderTransform"},
    TypeCode{FourCC("sduv"), "ShaderUVTransform"},
    // Lights; 'lght' inside a light's container is its light data.
    TypeCode{FourCC("lght"), "LightData"},
    TypeCode{FourCC("ambn"), "AmbientLight"},
    TypeCode{FourCC("drct"), "DirectionalLight"},
    TypeCode{FourCC("pntl"), "PointLight"},
    TypeCode{FourCC("spot"), "SpotLight"},
    // Cameras.
    TypeCode{FourCC("cmpl"), "CameraPlacement"},
    TypeCode{FourCC("cmrg"), "CameraRange"},
    TypeCode{FourCC("cmvp"), "CameraViewPort"},
    TypeCode{FourCC("orth"), "OrthographicCamera"},
    TypeCode{FourCC("vwpl"), "ViewPlaneCamera"},
    TypeCode{FourCC("vana"), "ViewAngleAspectCamera"},
    // Groups.
    TypeCode{FourCC("grup"), "Group"},
    TypeCode{FourCC("dspg"), "DisplayGroup"},
    TypeCode{FourCC("ordg"), "OrderedDisplayGroup"},
    TypeCode{FourCC("iopx"), "IOProxyDisplayGroup"},
    TypeCode{FourCC("lghg"), "LightGroup"},
    TypeCode{FourCC("info"), "InfoGroup"},
    TypeCode{FourCC("dgst"), "DisplayGroupState"},
    // Renderers.
    TypeCode{FourCC("ctwn"), "InteractiveRenderer"},
    TypeCode{FourCC("gnrr"), "GenericRenderer"},
    TypeCode{FourCC("wrfr"), "WireFrame"},
    TypeCode{FourCC("zbuf"), "ZBuffer"},
    // Shaders and textures.
    TypeCode{FourCC("shdr"), "ShaderData"},
    TypeCode{FourCC("txsu"), "TextureShader"},
    TypeCode{FourCC("lmil"), "LambertIllumination"},
    TypeCode{FourCC("phil"), "PhongIllumination"},
    TypeCode{FourCC("nuil"), "NULLIllumination"},
    TypeCode{FourCC("txpm"), "PixmapTexture"},
    TypeCode{FourCC("txmm"), "MipmapTexture"},
    TypeCode{FourCC("txcp"), "CompressedPixmapTexture"},
    // View hints.
    TypeCode{FourCC("vwhn"), "ViewHints"},
    TypeCode{FourCC("imdm"), "ImageDimensions"},
    TypeCode{FourCC("immk"), "ImageMask"},
    TypeCode{FourCC("imcc"), "ImageClearColor"},
    // State operators.
    TypeCode{FourCC("push"), "Push"},
    TypeCode{FourCC("pop "), "Pop"},
};

}  // namespace

std::span<const TypeCode> TypeCodeTable() { return kTable; }

std::string_view KindOfCode(std::uint32_t code) {
  for (const TypeCode& entry : kTable) {
    if (entry.code == code) return entry.kind;
  }
  return {};
}

std::uint32_t CodeOfKind(std::string_view kind) {
  for (const TypeCode& entry : kTable) {
    if (entry.kind == kind) return entry.code;
  }
  return 0;
}

bool IsKnownKind(std::string_view kind) { return CodeOfKind(kind) != 0; }

std::string CodeText(std::uint32_t code) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned char c = static_cast<unsigned char>(code >> shift);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  out += '\'';
  return out;
}

}  // namespace Kelvane::Metafile
