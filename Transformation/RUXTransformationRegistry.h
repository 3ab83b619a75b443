#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <string>
#include <string_view>
#include <vector>

// Every transformation class the editor knows, with its declaration: what the recipe may name, what
// rux-render offers as flags, what the fuzzers and the soak may generate. The editor's own classes
// are registered when the registry is first asked; a host (or a test) adds its own with
// RUXTransformationRegistration. Any thread; additions and removals are serialised with the
// readers, and what the queries answer is a snapshot.
namespace RUXTransformationRegistry {

// The declarations in registration order: the editor's classes first (the tools' classes in their
// render order, the look bases, the identity, the custom look, the offered looks in the strip's
// order, the user look), then the host's. The declarations live as long as their registration.
RUX_API std::vector<const RUXTransformationDeclaration*> declarations();

// The declaration of a class, by descriptor or by name; nullptr for a class not registered.
RUX_API const RUXTransformationDeclaration* declarationOf(const RUXClass& transformationClass);
RUX_API const RUXTransformationDeclaration* declarationNamed(std::string_view className);

// The newest recipe version the registered classes need (at least 1): what a reader accepts at
// most. A document is written with the lowest version that holds all of its classes, so a list of
// the design's edits still reads in every earlier reader.
RUX_API int recipeVersion();

// The classes of one family, in registration order.
RUX_API std::vector<const RUXClass*> classesOfFamily(RUXEditFamily family);

} // namespace RUXTransformationRegistry

// Keeps a host's class registered for its own lifetime. Refused, with one log line, for a class
// already registered (by descriptor or name), a declaration without class, or a type code below 8
// that is not the look slot (the design's codes belong to its classes) or one that another
// registered class of another slot already holds. Main thread or any thread before renders start.
class RUX_API RUXTransformationRegistration {
public:
    explicit RUXTransformationRegistration(const RUXTransformationDeclaration& declaration);
    ~RUXTransformationRegistration();
    RUXTransformationRegistration(const RUXTransformationRegistration&) = delete;
    RUXTransformationRegistration& operator=(const RUXTransformationRegistration&) = delete;

    // Whether the declaration was accepted.
    bool isRegistered() const { return m_declaration != nullptr; }

private:
    const RUXTransformationDeclaration* m_declaration = nullptr;
};
