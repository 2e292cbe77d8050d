// Snapshots of a real graph's filters and of a filter's pins.
#include "media/filter_list.h"
#include "media/pin_list.h"
#include "tests/media/device_test_support.h"

#include "classlib/runtime/exceptions.h"

#include <gtest/gtest.h>

namespace {

using namespace devicetest;

class FilterPinListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ComScope com;
        ASSERT_TRUE(mediafixture::EnsureFixturesRegistered());
    }
    static ComPtr<IBaseFilter> Create(const CLSID& id) {
        ComPtr<IBaseFilter> filter;
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
        return filter;
    }
    ComScope FCom;
};

TEST_F(FilterPinListTest, FilterListOfARealGraph) {
    ComPtr<IFilterGraph> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, graph.PutVoid()),
              S_OK);
    {
        TFilterList empty(graph.Get());
        EXPECT_EQ(empty.Count(), 0);
    }
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    ComPtr<IBaseFilter> compressor = Create(mediafixture::CLSID_PlainCompressor);
    ASSERT_TRUE(capture && compressor);
    ASSERT_EQ(graph->AddFilter(capture.Get(), L"Capture"), S_OK);
    ASSERT_EQ(graph->AddFilter(compressor.Get(), L"Compressor"), S_OK);

    TFilterList filters(graph.Get());
    ASSERT_EQ(filters.Count(), 2);
    EXPECT_TRUE(filters.IndexOf(capture.Get()) >= 0);
    EXPECT_TRUE(filters.IndexOf(compressor.Get()) >= 0);
    EXPECT_EQ(filters.OwnerGraph.Get(), graph.Get());

    // A filter stays valid in the list after it has left the graph.
    ASSERT_EQ(graph->RemoveFilter(capture.Get()), S_OK);
    const int index = filters.IndexOf(capture.Get());
    ComPtr<IBaseFilter> kept = filters.GetFilter(index);
    FILTER_INFO info{};
    ASSERT_EQ(kept->QueryFilterInfo(&info), S_OK);
    if (info.pGraph) info.pGraph->Release();

    EXPECT_EQ(filters.Remove(compressor.Get()), 1 - index);
    EXPECT_EQ(filters.Count(), 1);
    EXPECT_EQ(filters.Remove(compressor.Get()), -1);
    EXPECT_EQ(filters.Count(), 1);
    EXPECT_EQ(filters.Add(compressor.Get()), 1);
    EXPECT_THROW(filters.GetFilter(2), EListError);

    TFilterList none;
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(FilterPinListTest, GetFilterOfAnItemThatIsNoFilterRaisesTheCastError) {
    TFilterList filters;
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    TPinList pins(capture.Get());
    filters.TInterfaceList::Add(pins.GetPin(0).Get());
    EXPECT_THROW(filters.GetFilter(0), EIntfCastError);
}

TEST_F(FilterPinListTest, PinListOfTheCaptureDevice) {
    ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
    ASSERT_TRUE(capture);
    TPinList pins(capture.Get());
    ASSERT_EQ(pins.Count(), mediafixture::CaptureLineCount + 1);
    pins.Update();
    pins.Update();
    ASSERT_EQ(pins.Count(), mediafixture::CaptureLineCount + 1);  // each pin once

    for (int i = 0; i < pins.Count(); ++i) {
        PIN_INFO info{};
        pins.GetPinInfo(i, info);
        ASSERT_NE(info.pFilter, nullptr);
        EXPECT_EQ(info.pFilter, capture.Get());
        if (i < mediafixture::CaptureLineCount) {
            EXPECT_EQ(info.dir, PINDIR_INPUT);
            EXPECT_STREQ(info.achName, mediafixture::CaptureLineNames[i]);
        } else {
            EXPECT_EQ(info.dir, PINDIR_OUTPUT);
            EXPECT_STREQ(info.achName, mediafixture::CaptureOutputName);
        }
        // A record that still holds a filter reference gets it released
        // before it is filled again.
        pins.GetPinInfo(i, info);
        info.pFilter->Release();
    }
    PIN_INFO info{};
    EXPECT_THROW(pins.GetPinInfo(pins.Count(), info), EListError);
    EXPECT_THROW(pins.GetPin(-1), EListError);
}

TEST_F(FilterPinListTest, FilterWithoutPinsAndListWithoutFilter) {
    ComPtr<IBaseFilter> source = Create(mediafixture::CLSID_EventSource);
    ASSERT_TRUE(source);
    TPinList pins(source.Get());
    EXPECT_EQ(pins.Count(), 0);
    TPinList none;
    EXPECT_EQ(none.Count(), 0);
    none.Update();
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(FilterPinListTest, ListsKeepTheirOwnerAlive) {
    ULONG refs = 0;
    {
        ComPtr<IBaseFilter> capture = Create(mediafixture::CLSID_FourLineCapture);
        capture->AddRef();
        refs = capture->Release();
        TPinList pins(capture.Get());
        capture->AddRef();
        // The owner reference and one per pin (a pin counts on its filter).
        EXPECT_EQ(capture->Release(), refs + 1 + static_cast<ULONG>(pins.Count()));
    }
}

}  // namespace
