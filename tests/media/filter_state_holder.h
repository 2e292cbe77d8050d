// A component that publishes a TBaseFilter as "BaseFilter", as the filter
// wrapper does, so that a form description can carry its "data" value.
#pragma once

#include "media/base_filter.h"

#include "classlib/runtime/component.h"

class TFilterStateHolder : public TComponent {
public:
    using TComponent::TComponent;
    TBaseFilter BaseFilter;
    const TPropertyTable& PropertyTable() const override { return ClassProperties(); }
    static const TPropertyTable& ClassProperties() {
        static const TPropertyTable table =
            TPropertyTableBuilder<TFilterStateHolder>(L"TFilterStateHolder", &TComponent::ClassProperties())
                .Object(L"BaseFilter", [](TFilterStateHolder& h) -> TPersistent* { return &h.BaseFilter; })
                .Build();
        return table;
    }
};
