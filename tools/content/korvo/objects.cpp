// The objects and textures of korvo's sample show.
#include <cmath>

#include "lwo_writer.h"
#include "mesh.h"
#include "pictures.h"
#include "show.h"

namespace content::korvo {

namespace {

constexpr float pi = 3.14159265358979f;

ShowFile objectFile(const std::string& name, const lwo::Object& object) { return {"objects/" + name, lwo::assemble(object)}; }

// A surface whose image block shows `image` (a path under images/) through the UV map
// `uvMap`, or, for a particle surface, names the sprite's image alone.
lwo::Surface& texturedSurface(lwo::Object& object, const std::string& name, const std::string& image,
                              const std::string& uvMap = "") {
    lwo::TextureBlock block;
    block.image = object.addClip("images/" + image);
    block.uvMap = uvMap;
    lwo::Surface& surface = object.addSurface(name);
    surface.blocks.push_back(block);
    surface.red = surface.green = surface.blue = 1.0f;
    return surface;
}

lwo::Surface& colouredSurface(lwo::Object& object, const std::string& name, Colour colour) {
    lwo::Surface& surface = object.addSurface(name);
    surface.red = colour.r;
    surface.green = colour.g;
    surface.blue = colour.b;
    return surface;
}

// Sprites at every point of the cloud, of the given image.
lwo::Object particles(const std::vector<Vec3>& points, const std::string& image) {
    lwo::Object object;
    addMesh(object, pointCloud(points), "shadebob");
    texturedSurface(object, "shadebob", image);
    return object;
}

// Two arms winding out from the middle, thinning as they go.
std::vector<Vec3> spiralArms(int count) {
    Random random(101);
    std::vector<Vec3> points;
    for (int i = 0; i < count; ++i) {
        float t = std::pow(random.uniform(), 0.8f);
        float r = 0.7f + 5.5f * t;
        float angle = float(i % 2) * pi + 2.4f * std::log(r / 0.7f) + random.between(-0.35f, 0.35f);
        float spread = 0.2f + 0.35f * t;
        points.push_back({r * std::cos(angle) + random.between(-spread, spread),
                          random.between(-0.25f, 0.25f) * (1.0f - 0.7f * t),
                          r * std::sin(angle) + random.between(-spread, spread)});
    }
    return points;
}

// A flattened ball of points, denser toward its middle.
std::vector<Vec3> bulge(int count, float radius) {
    Random random(103);
    std::vector<Vec3> points;
    while (int(points.size()) < count) {
        Vec3 p{random.between(-1, 1), random.between(-1, 1), random.between(-1, 1)};
        float d2 = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
        if (d2 > 1.0f) continue;
        float r = radius * d2;   // squeezed toward the middle
        float d = std::sqrt(d2) + 1e-6f;
        points.push_back({p[0] / d * r, p[1] / d * r * 0.55f, p[2] / d * r});
    }
    return points;
}

// A ring of sparks around the y axis, rising and falling in three waves.
std::vector<Vec3> sparkRing(int count, float radius) {
    Random random(107);
    std::vector<Vec3> points;
    for (int i = 0; i < count; ++i) {
        float a = 2.0f * pi * float(i) / float(count);
        float r = radius + random.between(-0.3f, 0.3f);
        points.push_back({r * std::cos(a), 0.45f * std::sin(3.0f * a) + random.between(-0.12f, 0.12f), r * std::sin(a)});
    }
    return points;
}

// Points spread evenly over a sphere far around the scenes.
std::vector<Vec3> starShell(int count, float radius) {
    Random random(109);
    std::vector<Vec3> points;
    for (int i = 0; i < count; ++i) {
        float y = random.between(-1.0f, 1.0f), a = random.between(0.0f, 2.0f * pi);
        float ring = std::sqrt(1.0f - y * y);
        points.push_back({radius * ring * std::cos(a), radius * y, radius * ring * std::sin(a)});
    }
    return points;
}

// The chrome surface shared by the morphing ball and the shape it turns into.
void chromeSurface(lwo::Object& object, uint32_t reflectionClip) {
    lwo::Surface& chrome = colouredSurface(object, "Chrome", {0.1f, 0.09f, 0.12f});
    chrome.reflection = 0.95f;
    chrome.reflectionImage = reflectionClip;
}

lwo::Object morphShape(const std::function<float(float, float)>& radius) {
    lwo::Object object;
    addMesh(object, sphere(48, 32, radius), "Chrome");
    chromeSurface(object, object.addClip("images/chrome.bmp"));
    return object;
}

lwo::Object crystalObject(const std::string& surface, Colour colour, const Mesh& mesh) {
    lwo::Object object;
    addMesh(object, mesh, surface);
    lwo::Surface& s = colouredSurface(object, surface, colour);
    s.smoothingAngle = 0.0f;
    s.luminosity = 0.06f;
    return object;
}

// A flat ring that adds a glowing band of its image to what lies behind it, seen from both
// sides.
lwo::Object haloObject(const std::string& surface, const std::string& image, float inner, float outer) {
    lwo::Object object;
    addMesh(object, annulus(inner, outer, 96, 8.0f), surface, surface);
    lwo::Surface& s = texturedSurface(object, surface, image, surface);
    s.diffuse = 0.0f;
    s.luminosity = 1.0f;
    s.additive = 1.0f;
    s.sidedness = 3;
    return object;
}

}  // namespace

std::vector<ShowFile> showImages() {
    return {
        {"images/title.tga", tgaFile(titlePicture())},
        {"images/lattice.tga", tgaFile(latticePicture())},
        {"images/bob-blue.tga", tgaFile(bobPicture({0.25f, 0.55f, 1.0f}, 16))},
        {"images/bob-gold.tga", tgaFile(bobPicture({1.0f, 0.65f, 0.2f}, 16))},
        {"images/bob-pink.tga", tgaFile(bobPicture({1.0f, 0.3f, 0.75f}, 16))},
        {"images/star.tga", tgaFile(bobPicture({0.7f, 0.8f, 1.0f}, 8))},
        {"images/halo-gold.tga", tgaFile(haloPicture({1.0f, 0.62f, 0.18f}))},
        {"images/halo-cyan.tga", tgaFile(haloPicture({0.2f, 0.75f, 1.0f}))},
        {"images/chrome.bmp", bmpFile(chromePicture())},
        {"images/stripes.bmp", bmpFile(stripesPicture())},
        {"images/checker.bmp", bmpFile(checkerPicture())},
    };
}

std::vector<ShowFile> showObjects() {
    std::vector<ShowFile> files;
    files.push_back(objectFile("nebula-arms.lwo", particles(spiralArms(700), "bob-blue.tga")));
    files.push_back(objectFile("nebula-core.lwo", particles(bulge(240, 1.4f), "bob-gold.tga")));
    files.push_back(objectFile("sparks.lwo", particles(sparkRing(300, 2.9f), "bob-pink.tga")));
    files.push_back(objectFile("starfield.lwo", particles(starShell(360, 40.0f), "star.tga")));

    {
        lwo::Object title;
        addMesh(title, panel(4.0f, 1.0f), "Title", "Title");
        lwo::Surface& s = texturedSurface(title, "Title", "title.tga", "Title");
        s.diffuse = 0.0f;
        s.luminosity = 1.0f;
        files.push_back(objectFile("title.lwo", title));
    }
    {
        lwo::Object lattice;
        addMesh(lattice, torus(1.6f, 0.5f, 64, 24, 3.0f, 1.0f), "Lattice", "Lattice");
        lwo::Surface& s = texturedSurface(lattice, "Lattice", "lattice.tga", "Lattice");
        s.luminosity = 0.12f;
        s.sidedness = 3;
        files.push_back(objectFile("lattice.lwo", lattice));
    }
    {
        lwo::Object orb;
        addMesh(orb, sphere(24, 12, [](float, float) { return 0.22f; }), "Orb");
        colouredSurface(orb, "Orb", {1.0f, 0.9f, 0.7f}).luminosity = 0.4f;
        files.push_back(objectFile("orb.lwo", orb));
    }
    {
        lwo::Object floor;
        addMesh(floor, floorGrid(16.0f, 32, 8.0f, 0.0f), "Floor", "Floor");
        texturedSurface(floor, "Floor", "checker.bmp", "Floor").luminosity = 0.3f;
        files.push_back(objectFile("floor.lwo", floor));
    }
    files.push_back(objectFile("crystal-violet.lwo", crystalObject("Violet", {0.62f, 0.35f, 1.0f}, crystal(6, 0.45f, 1.0f, 0.5f, 1))));
    files.push_back(objectFile("crystal-cyan.lwo", crystalObject("Cyan", {0.2f, 0.85f, 1.0f}, crystal(5, 0.4f, 0.8f, 0.45f, 2))));
    files.push_back(objectFile("crystal-amber.lwo", crystalObject("Amber", {1.0f, 0.6f, 0.15f}, crystal(7, 0.5f, 0.9f, 0.55f, 3))));

    files.push_back(objectFile("blob.lwo", morphShape([](float, float) { return 1.0f; })));
    // Spikes in a checker of lobes around the ball: the same points, pushed out.
    files.push_back(objectFile("spikes.lwo", morphShape([](float longitude, float colatitude) {
                                   float lobes = 0.5f + 0.5f * std::sin(6.0f * longitude) * std::sin(6.0f * colatitude);
                                   return 1.0f + 0.6f * lobes * lobes * lobes * lobes;
                               })));
    {
        lwo::Object glass;
        addMesh(glass, sphere(40, 24, [](float, float) { return 1.5f; }), "Glass");
        lwo::Surface& s = colouredSurface(glass, "Glass", {0.55f, 0.8f, 1.0f});
        s.transparency = 0.6f;
        s.luminosity = 0.08f;
        s.sidedness = 3;
        files.push_back(objectFile("glass.lwo", glass));
    }
    files.push_back(objectFile("halo-gold.lwo", haloObject("Gold Halo", "halo-gold.tga", 1.75f, 2.2f)));
    files.push_back(objectFile("halo-cyan.lwo", haloObject("Cyan Halo", "halo-cyan.tga", 2.25f, 2.55f)));
    {
        lwo::Object ribbon;
        addMesh(ribbon, mobius(1.8f, 1.0f, 120, 8, 6.0f), "Ribbon", "Ribbon");
        lwo::Surface& s = texturedSurface(ribbon, "Ribbon", "stripes.bmp", "Ribbon");
        s.luminosity = 0.3f;
        s.sidedness = 3;
        files.push_back(objectFile("mobius.lwo", ribbon));
    }
    return files;
}

}  // namespace content::korvo
