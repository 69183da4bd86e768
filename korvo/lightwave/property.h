// A named animatable value of a scene item ("MorphAmount", "LightColor" ...): the floats it
// drives, one per component. Scene files set it by name, with a number or an envelope per
// component.
#pragma once

#include <cstring>

class Property {
public:
    static constexpr int maxComponents = 1000;

    // A property of one component driving `target`; add further components with addTarget.
    Property(const char* propertyName, float* target) {
        size_t length = std::strlen(propertyName);
        name = new char[length + 1];
        std::memcpy(name, propertyName, length + 1);
        addTarget(target);
    }
    virtual ~Property() { delete[] name; }
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;

    void addTarget(float* target) {
        if (componentCount < maxComponents) targets[componentCount++] = target;
    }

    char* name;
    float* targets[maxComponents] = {};
    int componentCount = 0;
};
