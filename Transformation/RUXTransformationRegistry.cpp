#include <Foundation/Log.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXExposureTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <Transformation/RUXToneCurveTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <Transformation/RUXVibranceTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <algorithm>
#include <deque>
#include <shared_mutex>

namespace {

// The editor's own classes, in the order the registry lists them. A new edit adds one line here.
std::vector<const RUXTransformationDeclaration*> editorDeclarations() {
    static const std::deque<RUXTransformationDeclaration> looks = [] {
        std::deque<RUXTransformationDeclaration> d;
        for (const RUXClass* c :
             {&RUXFilterBase::classDescriptor(), &RUXFilterWithOverlayBase::classDescriptor(),
              &RUXFilterIdentity::classDescriptor(), &RUXFilterCustom::classDescriptor()}) {
            d.push_back(RUXLookDeclaration(*c));
        }
        for (const RUXClass* c : RUXOfferedLookClasses()) {
            d.push_back(RUXLookDeclaration(*c));
        }
        return d;
    }();
    std::vector<const RUXTransformationDeclaration*> v{
        &RUXRotateTransformation::declaration(),        &RUXCropTransformation::declaration(),
        &RUXNormalizeTransformation::declaration(),     &RUXBrightnessTransformation::declaration(),
        &RUXSaturationTransformation::declaration(),    &RUXContrastTransformation::declaration(),
        &RUXBeautifulBlurTransformation::declaration(), &RUXBlurTransformation::declaration()};
    for (const RUXTransformationDeclaration& look : looks) {
        v.push_back(&look);
    }
    v.push_back(&RUXUserLookTransformation::declaration());
    // The added edits, in the order they apply.
    v.push_back(&RUXStraightenTransformation::declaration());
    v.push_back(&RUXWhiteBalanceTransformation::declaration());
    v.push_back(&RUXExposureTransformation::declaration());
    v.push_back(&RUXHighlightsShadowsTransformation::declaration());
    v.push_back(&RUXVibranceTransformation::declaration());
    v.push_back(&RUXToneCurveTransformation::declaration());
    v.push_back(&RUXVignetteTransformation::declaration());
    v.push_back(&RUXSharpenTransformation::declaration());
    return v;
}

struct Registry {
    std::shared_mutex mutex;
    std::vector<const RUXTransformationDeclaration*> declarations = editorDeclarations();
};

Registry& registry() {
    static Registry r;
    return r;
}

bool refuse(const RUXTransformationDeclaration& d, const char* why) {
    Foundation::log("The transformation class %s is not registered: %s",
                    d.transformationClass ? d.transformationClass->name : "(none)", why);
    return false;
}

// Checked under the registry's lock.
bool acceptable(const std::vector<const RUXTransformationDeclaration*>& all,
                const RUXTransformationDeclaration& d) {
    if (!d.transformationClass || !d.transformationClass->name || !d.transformationClass->factory) {
        return refuse(d, "it has no class");
    }
    if (d.type < RUXFirstAddedTransformationType && d.type != RUXTransformationTypeFilter) {
        return refuse(d, "type codes below 8 belong to the editor's own edits");
    }
    for (const RUXTransformationDeclaration* other : all) {
        if (other->transformationClass == d.transformationClass ||
            std::string_view(other->transformationClass->name) == d.transformationClass->name) {
            return refuse(d, "a class of that name is registered already");
        }
        if (d.type >= RUXFirstAddedTransformationType && other->type == d.type) {
            return refuse(d, "another class holds its type code");
        }
    }
    return true;
}

} // namespace

namespace RUXTransformationRegistry {

std::vector<const RUXTransformationDeclaration*> declarations() {
    Registry& r = registry();
    std::shared_lock lock(r.mutex);
    return r.declarations;
}

const RUXTransformationDeclaration* declarationOf(const RUXClass& transformationClass) {
    Registry& r = registry();
    std::shared_lock lock(r.mutex);
    for (const RUXTransformationDeclaration* d : r.declarations) {
        if (d->transformationClass == &transformationClass) {
            return d;
        }
    }
    return nullptr;
}

const RUXTransformationDeclaration* declarationNamed(std::string_view className) {
    Registry& r = registry();
    std::shared_lock lock(r.mutex);
    for (const RUXTransformationDeclaration* d : r.declarations) {
        if (className == d->transformationClass->name) {
            return d;
        }
    }
    return nullptr;
}

int recipeVersion() {
    Registry& r = registry();
    std::shared_lock lock(r.mutex);
    int version = 1;
    for (const RUXTransformationDeclaration* d : r.declarations) {
        version = std::max(version, d->recipeVersion);
    }
    return version;
}

std::vector<const RUXClass*> classesOfFamily(RUXEditFamily family) {
    std::vector<const RUXClass*> result;
    for (const RUXTransformationDeclaration* d : declarations()) {
        if (d->family == family) {
            result.push_back(d->transformationClass);
        }
    }
    return result;
}

} // namespace RUXTransformationRegistry

RUXTransformationRegistration::RUXTransformationRegistration(
    const RUXTransformationDeclaration& declaration) {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    if (acceptable(r.declarations, declaration)) {
        r.declarations.push_back(&declaration);
        m_declaration = &declaration;
    }
}

RUXTransformationRegistration::~RUXTransformationRegistration() {
    if (!m_declaration) {
        return;
    }
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    std::erase(r.declarations, m_declaration);
}

const std::vector<const RUXClass*>& RUXTransformationClasses() {
    // The editor's own classes only, as they were when first asked; the user look is made from a
    // file, not by its factory, and is left out.
    static const std::vector<const RUXClass*> all = [] {
        std::vector<const RUXClass*> v;
        for (const RUXTransformationDeclaration* d : editorDeclarations()) {
            if (d->transformationClass != &RUXUserLookTransformation::classDescriptor()) {
                v.push_back(d->transformationClass);
            }
        }
        return v;
    }();
    return all;
}

const RUXClass* RUXTransformationClassNamed(const std::string& name) {
    for (const RUXClass* c : RUXTransformationClasses()) {
        if (name == c->name) {
            return c;
        }
    }
    return nullptr;
}
