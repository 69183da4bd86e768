// GLSL for a fixed-function state key. All vectors are in Direct3D's camera space (left-handed,
// the viewer at the origin looking along +z); matrices arrive as Direct3D stores them (row
// vectors), which GLSL reads transposed, so `matrix * vector` does what `vector * matrix`
// does in Direct3D.
#include "gl_program.h"

#include <sstream>

namespace d3d7::gl {
namespace {

uint8_t resolveSource(DWORD source, const VertexLayout& layout, bool colorVertex) {
    if (!colorVertex) return 0;
    if (source == D3DMCS_COLOR1 && layout.diffuse) return 1;
    if (source == D3DMCS_COLOR2 && layout.specular) return 2;
    return 0;
}

bool usesTexture(DWORD op, DWORD arg1, DWORD arg2) {
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
    bool one = op != D3DTOP_SELECTARG2, two = op != D3DTOP_SELECTARG1;
    return (one && (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE) || (two && (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE);
}

}  // namespace

ProgramKey makeProgramKey(const DrawCall& call, const int lightCounts[3]) {
    ProgramKey key;
    std::memset(&key, 0, sizeof key);
    const DeviceState& s = *call.state;
    const VertexLayout& layout = *call.layout;
    key.fvf = uint16_t(layout.fvf);
    key.transformed = layout.transformed;
    key.lighting = !layout.transformed && s.render[D3DRENDERSTATE_LIGHTING];
    key.specularEnable = s.render[D3DRENDERSTATE_SPECULARENABLE] != 0;
    key.flatShading = s.render[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
    if (key.lighting) {
        key.directionalLights = uint8_t(lightCounts[0]);
        key.pointLights = uint8_t(lightCounts[1]);
        key.spotLights = uint8_t(lightCounts[2]);
        key.localViewer = s.render[D3DRENDERSTATE_LOCALVIEWER] != 0;
        key.normalizeNormals = s.render[D3DRENDERSTATE_NORMALIZENORMALS] != 0;
        bool colorVertex = s.render[D3DRENDERSTATE_COLORVERTEX] != 0;
        key.diffuseSource = ColorSource(resolveSource(s.render[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE], layout, colorVertex));
        key.ambientSource = ColorSource(resolveSource(s.render[D3DRENDERSTATE_AMBIENTMATERIALSOURCE], layout, colorVertex));
        key.specularSource = ColorSource(resolveSource(s.render[D3DRENDERSTATE_SPECULARMATERIALSOURCE], layout, colorVertex));
        key.emissiveSource = ColorSource(resolveSource(s.render[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE], layout, colorVertex));
    }
    if (s.render[D3DRENDERSTATE_ALPHATESTENABLE]) key.alphaFunction = uint8_t(s.render[D3DRENDERSTATE_ALPHAFUNC]);
    for (int i = 0; i < maxTextureStages; ++i) {
        const auto& st = s.stage[i];
        if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        StageKey& k = key.stages[i];
        k.colorOp = uint8_t(st[D3DTSS_COLOROP]);
        k.colorArg1 = uint8_t(st[D3DTSS_COLORARG1]);
        k.colorArg2 = uint8_t(st[D3DTSS_COLORARG2]);
        k.alphaOp = uint8_t(st[D3DTSS_ALPHAOP]);
        k.alphaArg1 = uint8_t(st[D3DTSS_ALPHAARG1]);
        k.alphaArg2 = uint8_t(st[D3DTSS_ALPHAARG2]);
        bool sampled = usesTexture(k.colorOp, k.colorArg1, k.colorArg2) ||
                       (k.alphaOp != D3DTOP_DISABLE && usesTexture(k.alphaOp, k.alphaArg1, k.alphaArg2));
        k.hasTexture = sampled && call.textures[i].texture != 0;
        if (k.hasTexture && call.textures[i].colorKey) k.colorKey = call.textures[i].coverage ? 2 : 1;
        if (k.hasTexture) {
            DWORD index = st[D3DTSS_TEXCOORDINDEX];
            DWORD set = index & 0xFFFF, generation = index >> 16;
            if (layout.transformed) generation = 0;
            k.texCoordGeneration = uint8_t(generation);
            k.texCoordSet = generation == 0 && int(set) < layout.texCoordSets ? uint8_t(set) : 0xFF;
        }
        key.stageCount = uint8_t(i + 1);
    }
    return key;
}

namespace {

std::string argument(uint8_t arg, int stage, const StageKey& k) {
    std::string value;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: value = "diffuse"; break;
    case D3DTA_CURRENT: value = stage == 0 ? "diffuse" : "current"; break;
    // A stage without a texture reads opaque white where it asks for one.
    case D3DTA_TEXTURE: value = k.hasTexture ? "texel" + std::to_string(stage) : "vec4(1.0)"; break;
    case D3DTA_TFACTOR: value = "uTextureFactor"; break;
    default: value = "specular"; break;
    }
    if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
    if (arg & D3DTA_ALPHAREPLICATE) value = "vec4(" + value + ".a)";
    return value;
}

// Colour (".rgb") or alpha (".a") of a texture operation on arguments a and b.
std::string operation(uint8_t op, const std::string& a, const std::string& b, const std::string& part, int stage,
                      const StageKey& k) {
    std::string x = a + part, y = b + part;
    std::string textureAlpha = k.hasTexture ? "texel" + std::to_string(stage) + ".a" : "1.0";
    switch (op) {
    case D3DTOP_SELECTARG1: return x;
    case D3DTOP_SELECTARG2: return y;
    case D3DTOP_MODULATE: return x + " * " + y;
    case D3DTOP_MODULATE2X: return "2.0 * " + x + " * " + y;
    case D3DTOP_MODULATE4X: return "4.0 * " + x + " * " + y;
    case D3DTOP_ADD: return x + " + " + y;
    case D3DTOP_ADDSIGNED: return x + " + " + y + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "2.0 * (" + x + " + " + y + " - 0.5)";
    case D3DTOP_SUBTRACT: return x + " - " + y;
    case D3DTOP_ADDSMOOTH: return x + " + " + y + " - " + x + " * " + y;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + y + ", " + x + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + y + ", " + x + ", " + textureAlpha + ")";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + y + ", " + x + ", uTextureFactor.a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + y + ", " + x + ", " + (stage == 0 ? "diffuse.a" : "current.a") + ")";
    case D3DTOP_BLENDTEXTUREALPHAPM: return x + " + " + y + " * (1.0 - " + textureAlpha + ")";
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return x + " + " + a + ".a * " + y;
    case D3DTOP_MODULATECOLOR_ADDALPHA: return x + " * " + y + " + " + a + ".a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - " + a + ".a) * " + y + " + " + x;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(1.0 - " + x + ") * " + y + " + " + a + ".a";
    case D3DTOP_DOTPRODUCT3:
        return (part == ".a" ? std::string("") : std::string("vec3(")) + "4.0 * dot(" + a + ".rgb - 0.5, " + b +
               ".rgb - 0.5)" + (part == ".a" ? "" : ")");
    default: return x;
    }
}

const char* compareOperator(uint8_t function) {
    switch (function) {
    case D3DCMP_LESS: return "<";
    case D3DCMP_EQUAL: return "==";
    case D3DCMP_LESSEQUAL: return "<=";
    case D3DCMP_GREATER: return ">";
    case D3DCMP_NOTEQUAL: return "!=";
    case D3DCMP_GREATEREQUAL: return ">=";
    default: return nullptr;
    }
}

std::string sourceExpression(ColorSource source, const char* material) {
    switch (source) {
    case ColorSource::VertexDiffuse: return "aDiffuse";
    case ColorSource::VertexSpecular: return "aSpecular";
    default: return material;
    }
}

}  // namespace

ProgramSource generateProgram(const ProgramKey& key) {
    VertexLayout layout;
    std::string unused;
    describeVertexFormat(key.fvf, layout, &unused);
    const char* interpolation = key.flatShading ? "flat " : "";
    int lightCount = key.directionalLights + key.pointLights + key.spotLights;

    std::ostringstream v;
    v << "#version 330\n";
    v << "in vec4 aPosition;\n";
    if (layout.normal) v << "in vec3 aNormal;\n";
    if (layout.diffuse) v << "in vec4 aDiffuse;\n";
    if (layout.specular) v << "in vec4 aSpecular;\n";
    for (int i = 0; i < layout.texCoordSets; ++i) v << "in vec2 aTexCoord" << i << ";\n";
    v << interpolation << "out vec4 vDiffuse;\n" << interpolation << "out vec4 vSpecular;\n";
    for (int i = 0; i < key.stageCount; ++i)
        if (key.stages[i].hasTexture) v << "out vec2 vTexCoord" << i << ";\n";
    bool cameraSpace = !key.transformed && (key.lighting || [&] {
        for (int i = 0; i < key.stageCount; ++i)
            if (key.stages[i].hasTexture && key.stages[i].texCoordGeneration) return true;
        return false;
    }());
    if (key.transformed) {
        v << "uniform vec4 uScreen;  // viewport x, y, 2 / width, 2 / height\n";
    } else {
        v << "uniform mat4 uClipFromModel;\n";
        if (cameraSpace) v << "uniform mat4 uCameraFromModel;\nuniform mat3 uNormalMatrix;\n";
    }
    if (key.lighting) {
        v << "uniform vec3 uAmbient;\n";
        v << "uniform vec4 uMaterial[4];  // diffuse, ambient, specular, emissive\n";
        v << "uniform float uPower;\n";
        if (lightCount) v << "uniform vec4 uLight[" << lightCount * vec4sPerLight << "];\n";
    }
    v << "void main() {\n";
    if (key.transformed) {
        v << "    float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;\n";
        v << "    vec2 ndc = vec2((aPosition.x - uScreen.x + 0.5) * uScreen.z - 1.0,\n"
             "                    1.0 - (aPosition.y - uScreen.y + 0.5) * uScreen.w);\n";
        v << "    gl_Position = vec4(ndc * w, (2.0 * aPosition.z - 1.0) * w, w);\n";
    } else {
        v << "    vec4 modelPosition = vec4(aPosition.xyz, 1.0);\n";
        v << "    gl_Position = uClipFromModel * modelPosition;\n";
        if (cameraSpace) {
            v << "    vec3 position = (uCameraFromModel * modelPosition).xyz;\n";
            if (layout.normal)
                v << "    vec3 normal = uNormalMatrix * aNormal;\n";
            else
                v << "    vec3 normal = vec3(0.0);\n";
            if (key.normalizeNormals) v << "    if (dot(normal, normal) > 0.0) normal = normalize(normal);\n";
        }
    }
    if (key.lighting) {
        v << "    vec4 materialDiffuse = " << sourceExpression(key.diffuseSource, "uMaterial[0]") << ";\n";
        v << "    vec4 materialAmbient = " << sourceExpression(key.ambientSource, "uMaterial[1]") << ";\n";
        v << "    vec4 materialSpecular = " << sourceExpression(key.specularSource, "uMaterial[2]") << ";\n";
        v << "    vec4 materialEmissive = " << sourceExpression(key.emissiveSource, "uMaterial[3]") << ";\n";
        v << "    vec3 ambientSum = uAmbient, diffuseSum = vec3(0.0), specularSum = vec3(0.0);\n";
        v << "    vec3 toViewer = " << (key.localViewer ? "-normalize(position)" : "vec3(0.0, 0.0, -1.0)") << ";\n";
        // One light's share: ambient always; diffuse and specular only on the lit side.
        auto contribution = [&](std::ostringstream& o) {
            o << "        ambientSum += uLight[b + 6].rgb * attenuation;\n";
            o << "        float nDotL = dot(normal, toLight);\n";
            o << "        if (nDotL > 0.0) {\n";
            o << "            diffuseSum += uLight[b + 4].rgb * (nDotL * attenuation);\n";
            if (key.specularEnable) {
                o << "            float nDotH = dot(normal, normalize(toLight + toViewer));\n";
                o << "            if (nDotH > 0.0) specularSum += uLight[b + 5].rgb * (pow(nDotH, uPower) * attenuation);\n";
            }
            o << "        }\n";
        };
        int base = 0;
        if (key.directionalLights) {
            v << "    for (int i = 0; i < " << int(key.directionalLights) << "; ++i) {\n";
            v << "        int b = " << base << " + i * " << vec4sPerLight << ";\n";
            v << "        vec3 toLight = uLight[b + 1].xyz;\n";
            v << "        float attenuation = 1.0;\n";
            contribution(v);
            v << "    }\n";
            base += key.directionalLights * vec4sPerLight;
        }
        for (int kind = 0; kind < 2; ++kind) {
            int count = kind == 0 ? key.pointLights : key.spotLights;
            if (!count) continue;
            v << "    for (int i = 0; i < " << count << "; ++i) {\n";
            v << "        int b = " << base << " + i * " << vec4sPerLight << ";\n";
            v << "        vec3 offset = uLight[b].xyz - position;\n";
            v << "        float distance = length(offset);\n";
            v << "        if (distance > uLight[b].w) continue;  // beyond the light's range\n";
            v << "        vec3 toLight = distance > 0.0 ? offset / distance : vec3(0.0);\n";
            v << "        vec3 a = uLight[b + 2].xyz;\n";
            v << "        float denominator = a.x + a.y * distance + a.z * distance * distance;\n";
            v << "        float attenuation = denominator > 0.0 ? 1.0 / denominator : 1.0;\n";
            if (kind == 1) {
                v << "        float rho = dot(-toLight, uLight[b + 1].xyz);\n";
                v << "        float cosHalfTheta = uLight[b + 2].w, cosHalfPhi = uLight[b + 3].x;\n";
                v << "        float spot = rho > cosHalfTheta ? 1.0\n"
                     "                   : rho <= cosHalfPhi ? 0.0\n"
                     "                   : pow((rho - cosHalfPhi) / (cosHalfTheta - cosHalfPhi), uLight[b + 1].w);\n";
                v << "        attenuation *= spot;\n";
            }
            contribution(v);
            v << "    }\n";
            base += count * vec4sPerLight;
        }
        v << "    vDiffuse = vec4(clamp(materialAmbient.rgb * ambientSum + materialDiffuse.rgb * diffuseSum"
             " + materialEmissive.rgb, 0.0, 1.0), clamp(materialDiffuse.a, 0.0, 1.0));\n";
        if (key.specularEnable)
            v << "    vSpecular = vec4(clamp(materialSpecular.rgb * specularSum, 0.0, 1.0), clamp(materialSpecular.a, 0.0, 1.0));\n";
        else
            v << "    vSpecular = vec4(0.0);\n";
    } else {
        v << "    vDiffuse = " << (layout.diffuse ? "aDiffuse" : "vec4(1.0)") << ";\n";
        v << "    vSpecular = " << (layout.specular ? "aSpecular" : "vec4(0.0)") << ";\n";
    }
    for (int i = 0; i < key.stageCount; ++i) {
        const StageKey& k = key.stages[i];
        if (!k.hasTexture) continue;
        v << "    vTexCoord" << i << " = ";
        switch (k.texCoordGeneration) {
        case 1: v << "normal.xy;\n"; break;
        case 2: v << "position.xy;\n"; break;
        case 3: v << "reflect(normalize(position), normal).xy;\n"; break;
        default:
            if (k.texCoordSet == 0xFF)
                v << "vec2(0.0);\n";
            else
                v << "aTexCoord" << int(k.texCoordSet) << ";\n";
        }
    }
    v << "}\n";

    std::ostringstream f;
    f << "#version 330\n";
    f << interpolation << "in vec4 vDiffuse;\n" << interpolation << "in vec4 vSpecular;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        if (key.stages[i].hasTexture) f << "in vec2 vTexCoord" << i << ";\nuniform sampler2D uTexture" << i << ";\n";
        if (key.stages[i].colorKey == 2) f << "uniform sampler2D uCoverage" << i << ";\n";
    }
    f << "uniform vec4 uTextureFactor;\n";
    f << "uniform float uAlphaReference;\n";
    f << "out vec4 fragmentColor;\n";
    f << "void main() {\n";
    f << "    vec4 diffuse = vDiffuse, specular = vSpecular, current = vDiffuse;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        const StageKey& k = key.stages[i];
        if (k.hasTexture) {
            f << "    vec4 texel" << i << " = texture(uTexture" << i << ", vTexCoord" << i << ");\n";
            if (k.colorKey) {
                // Source colour key: keyed texels carry coverage 0 into the filter.
                std::string t = "texel" + std::to_string(i), c = "coverage" + std::to_string(i);
                f << "    float " << c << " = "
                  << (k.colorKey == 2 ? "texture(uCoverage" + std::to_string(i) + ", vTexCoord" + std::to_string(i) + ").a"
                                      : t + ".a")
                  << ";\n";
                f << "    if (" << c << " < 0.5) discard;\n";
                if (k.colorKey == 2)
                    f << "    " << t << " /= " << c << ";\n";
                else
                    f << "    " << t << " = vec4(" << t << ".rgb / " << c << ", 1.0);\n";
            }
        }
        std::string c1 = argument(k.colorArg1, i, k), c2 = argument(k.colorArg2, i, k);
        f << "    {\n";
        f << "        vec3 color = " << operation(k.colorOp, c1, c2, ".rgb", i, k) << ";\n";
        if (k.colorOp == D3DTOP_DOTPRODUCT3) {
            f << "        float alpha = color.r;\n";
        } else if (k.alphaOp == D3DTOP_DISABLE) {
            f << "        float alpha = " << (i == 0 ? "diffuse.a" : "current.a") << ";\n";
        } else {
            std::string a1 = argument(k.alphaArg1, i, k), a2 = argument(k.alphaArg2, i, k);
            f << "        float alpha = " << operation(k.alphaOp, a1, a2, ".a", i, k) << ";\n";
        }
        f << "        current = clamp(vec4(color, alpha), 0.0, 1.0);\n";
        f << "    }\n";
    }
    if (key.specularEnable) f << "    current.rgb = min(current.rgb + specular.rgb, 1.0);\n";
    if (key.alphaFunction == D3DCMP_NEVER) {
        f << "    discard;\n";
    } else if (const char* op = compareOperator(key.alphaFunction)) {
        f << "    if (!(floor(current.a * 255.0 + 0.5) " << op << " uAlphaReference)) discard;\n";
    }
    f << "    fragmentColor = current;\n";
    f << "}\n";
    return {v.str(), f.str()};
}

}  // namespace d3d7::gl
