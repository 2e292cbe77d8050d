// The table of known interfaces that the compressor catalogue walks: the
// platform's published DirectShow interfaces (with its kernel-streaming,
// editing, tuning and stream extensions), DirectX Media Object interfaces and
// COM interfaces, each with the identifier from the platform's import
// libraries. Generated once from the toolchain's headers; the order is fixed.
#include "media/known_interfaces.h"

extern "C" {
extern const IID IID_IPin;
extern const IID IID_ICreateDevEnum;
extern const IID IID_IEnumPins;
extern const IID IID_IEnumMediaTypes;
extern const IID IID_IFilterGraph;
extern const IID IID_IEnumFilters;
extern const IID IID_IMediaFilter;
extern const IID IID_IBaseFilter;
extern const IID IID_IReferenceClock;
extern const IID IID_IReferenceClock2;
extern const IID IID_IMediaSample;
extern const IID IID_IMediaSample2;
extern const IID IID_IMemAllocator;
extern const IID IID_IMemAllocatorCallbackTemp;
extern const IID IID_IMemAllocatorNotifyCallbackTemp;
extern const IID IID_IMemInputPin;
extern const IID IID_IAMovieSetup;
extern const IID IID_IMediaSeeking;
extern const IID IID_IEnumRegFilters;
extern const IID IID_IFilterMapper;
extern const IID IID_IFilterMapper2;
extern const IID IID_IFilterMapper3;
extern const IID IID_IQualityControl;
extern const IID IID_IOverlayNotify;
extern const IID IID_IOverlayNotify2;
extern const IID IID_IOverlay;
extern const IID IID_IMediaEventSink;
extern const IID IID_IFileSourceFilter;
extern const IID IID_IFileSinkFilter;
extern const IID IID_IFileSinkFilter2;
extern const IID IID_IGraphBuilder;
extern const IID IID_ICaptureGraphBuilder;
extern const IID IID_IAMCopyCaptureFileProgress;
extern const IID IID_ICaptureGraphBuilder2;
extern const IID IID_IConfigAviMux;
extern const IID IID_IConfigInterleaving;
extern const IID IID_IAMClockSlave;
extern const IID IID_IFilterGraph2;
extern const IID IID_IStreamBuilder;
extern const IID IID_IAMStreamConfig;
extern const IID IID_IAMVideoProcAmp;
extern const IID IID_IAsyncReader;
extern const IID IID_IGraphVersion;
extern const IID IID_IAMVfwCompressDialogs;
extern const IID IID_IResourceConsumer;
extern const IID IID_IResourceManager;
extern const IID IID_IAMStreamControl;
extern const IID IID_IKsPropertySet;
extern const IID IID_IMediaPropertyBag;
extern const IID IID_IPersistMediaPropertyBag;
extern const IID IID_ISeekingPassThru;
extern const IID IID_IAMFilterMiscFlags;
extern const IID IID_IAMGraphBuilderCallback;
extern const IID IID_IAMVfwCaptureDialogs;
extern const IID IID_IAMCameraControl;
extern const IID IID_IAMVideoControl;
extern const IID IID_IAMBufferNegotiation;
extern const IID IID_IAMDroppedFrames;
extern const IID IID_IAMLatency;
extern const IID IID_IAMPushSource;
extern const IID IID_IAMVideoCompression;
extern const IID IID_IAMCrossbar;
extern const IID IID_IAMTunerNotification;
extern const IID IID_IAMTuner;
extern const IID IID_IAMTVTuner;
extern const IID IID_IVideoFrameStep;
extern const IID IID_IDistributorNotify;
extern const IID IID_IAMAudioInputMixer;
extern const IID IID_IAMAnalogVideoDecoder;
extern const IID IID_IBPCSatelliteTuner;
extern const IID IID_IAMTVAudio;
extern const IID IID_IAMTVAudioNotification;
extern const IID IID_IAMAnalogVideoEncoder;
extern const IID IID_IAMPhysicalPinInfo;
extern const IID IID_IAMExtDevice;
extern const IID IID_IAMExtTransport;
extern const IID IID_IAMTimecodeReader;
extern const IID IID_IAMTimecodeGenerator;
extern const IID IID_IAMTimecodeDisplay;
extern const IID IID_IAMDevMemoryAllocator;
extern const IID IID_IAMDevMemoryControl;
extern const IID IID_IAMStreamSelect;
extern const IID IID_IAMResourceControl;
extern const IID IID_IAMClockAdjust;
extern const IID IID_IDrawVideoImage;
extern const IID IID_IDecimateVideoImage;
extern const IID IID_IAMVideoDecimationProperties;
extern const IID IID_IAMDeviceRemoval;
extern const IID IID_IDVEnc;
extern const IID IID_IIPDVDec;
extern const IID IID_IDVRGB219;
extern const IID IID_IDVSplitter;
extern const IID IID_IAMAudioRendererStats;
extern const IID IID_IAMGraphStreams;
extern const IID IID_IAMOverlayFX;
extern const IID IID_IAMOpenProgress;
extern const IID IID_IMpeg2Demultiplexer;
extern const IID IID_IEnumStreamIdMap;
extern const IID IID_IMPEG2StreamIdMap;
extern const IID IID_IRegisterServiceProvider;
extern const IID IID_ICodecAPI;
extern const IID IID_IGetCapabilitiesKey;
extern const IID IID_IEncoderAPI;
extern const IID IID_IVideoEncoder;
extern const IID IID_IAMDecoderCaps;
extern const IID IID_IDvdControl;
extern const IID IID_IDvdInfo;
extern const IID IID_IDvdCmd;
extern const IID IID_IDvdState;
extern const IID IID_IDvdControl2;
extern const IID IID_IDvdInfo2;
extern const IID IID_IDvdGraphBuilder;
extern const IID IID_IDDrawExclModeVideo;
extern const IID IID_IDDrawExclModeVideoCallback;
extern const IID IID_IPinConnection;
extern const IID IID_IPinFlowControl;
extern const IID IID_IGraphConfig;
extern const IID IID_IGraphConfigCallback;
extern const IID IID_IFilterChain;
extern const IID IID_IVMRImagePresenter;
extern const IID IID_IVMRSurfaceAllocator;
extern const IID IID_IVMRSurfaceAllocatorNotify;
extern const IID IID_IVMRWindowlessControl;
extern const IID IID_IVMRMixerControl;
extern const IID IID_IVMRMonitorConfig;
extern const IID IID_IVMRFilterConfig;
extern const IID IID_IVMRAspectRatioControl;
extern const IID IID_IVMRDeinterlaceControl;
extern const IID IID_IVMRMixerBitmap;
extern const IID IID_IVMRImageCompositor;
extern const IID IID_IVMRVideoStreamControl;
extern const IID IID_IVMRSurface;
extern const IID IID_IVMRImagePresenterConfig;
extern const IID IID_IVMRImagePresenterExclModeConfig;
extern const IID IID_IVPManager;
extern const IID IID_IMediaControl;
extern const IID IID_IAMCollection;
extern const IID IID_IMediaEvent;
extern const IID IID_IMediaEventEx;
extern const IID IID_IMediaPosition;
extern const IID IID_IBasicAudio;
extern const IID IID_IVideoWindow;
extern const IID IID_IBasicVideo;
extern const IID IID_IBasicVideo2;
extern const IID IID_IDeferredCommand;
extern const IID IID_IQueueCommand;
extern const IID IID_IFilterInfo;
extern const IID IID_IRegFilterInfo;
extern const IID IID_IMediaTypeInfo;
extern const IID IID_IPinInfo;
extern const IID IID_IAMStats;
extern const IID IID_ISampleGrabberCB;
extern const IID IID_ISampleGrabber;
extern const IID IID_IMediaDet;
extern const IID IID_IMediaLocator;
extern const IID IID_IPropertySetter;
extern const IID IID_IAMErrorLog;
extern const IID IID_IAMSetErrorLog;
extern const IID IID_IAMTimeline;
extern const IID IID_IAMTimelineGroup;
extern const IID IID_IAMTimelineObj;
extern const IID IID_IAMTimelineSrc;
extern const IID IID_IKsPin;
extern const IID IID_IKsPinFactory;
extern const IID IID_IKsDataTypeHandler;
extern const IID IID_IKsInterfaceHandler;
extern const IID IID_IDirectShowStream;
extern const IID IID_IAMMultiMediaStream;
extern const IID IID_IAMMediaStream;
extern const IID IID_IMediaStreamFilter;
extern const IID IID_IDirectDrawMediaSampleAllocator;
extern const IID IID_IDirectDrawMediaSample;
extern const IID IID_IAMMediaTypeStream;
extern const IID IID_IAMMediaTypeSample;
extern const IID IID_IAudioMediaStream;
extern const IID IID_IAudioStreamSample;
extern const IID IID_IMemoryData;
extern const IID IID_IAudioData;
extern const IID IID_IDirectDrawMediaStream;
extern const IID IID_IDirectDrawStreamSample;
extern const IID IID_IMultiMediaStream;
extern const IID IID_IMediaStream;
extern const IID IID_IStreamSample;
extern const IID IID_IVMRImagePresenter9;
extern const IID IID_IVMRSurfaceAllocator9;
extern const IID IID_IVMRSurfaceAllocatorNotify9;
extern const IID IID_IVMRWindowlessControl9;
extern const IID IID_IVMRMixerControl9;
extern const IID IID_IVMRMixerBitmap9;
extern const IID IID_IVMRSurface9;
extern const IID IID_IVMRImagePresenterConfig9;
extern const IID IID_IVMRVideoStreamControl9;
extern const IID IID_IVMRFilterConfig9;
extern const IID IID_IVMRAspectRatioControl9;
extern const IID IID_IVMRMonitorConfig9;
extern const IID IID_IVMRDeinterlaceControl9;
extern const IID IID_IVMRImageCompositor9;
extern const IID IID_IBDA_NetworkProvider;
extern const IID IID_IBDA_EthernetFilter;
extern const IID IID_IBDA_IPV4Filter;
extern const IID IID_IBDA_IPV6Filter;
extern const IID IID_IBDA_DeviceControl;
extern const IID IID_IBDA_PinControl;
extern const IID IID_IBDA_SignalProperties;
extern const IID IID_IBDA_SignalStatistics;
extern const IID IID_IBDA_Topology;
extern const IID IID_IBDA_VoidTransform;
extern const IID IID_IBDA_NullTransform;
extern const IID IID_IBDA_FrequencyFilter;
extern const IID IID_IBDA_LNBInfo;
extern const IID IID_IBDA_AutoDemodulate;
extern const IID IID_IBDA_DigitalDemodulator;
extern const IID IID_IBDA_IPSinkControl;
extern const IID IID_IBDA_IPSinkInfo;
extern const IID IID_IEnumPIDMap;
extern const IID IID_IMPEG2PIDMap;
extern const IID IID_IFrequencyMap;
extern const IID IID_ITuningSpaces;
extern const IID IID_ITuningSpaceContainer;
extern const IID IID_ITuningSpace;
extern const IID IID_IEnumTuningSpaces;
extern const IID IID_IDVBTuningSpace;
extern const IID IID_IDVBTuningSpace2;
extern const IID IID_IDVBSTuningSpace;
extern const IID IID_IAuxInTuningSpace;
extern const IID IID_IAnalogTVTuningSpace;
extern const IID IID_IATSCTuningSpace;
extern const IID IID_IAnalogRadioTuningSpace;
extern const IID IID_ITuneRequest;
extern const IID IID_IChannelTuneRequest;
extern const IID IID_IATSCChannelTuneRequest;
extern const IID IID_IDVBTuneRequest;
extern const IID IID_IMPEG2TuneRequest;
extern const IID IID_IMPEG2TuneRequestFactory;
extern const IID IID_IMPEG2TuneRequestSupport;
extern const IID IID_ITuner;
extern const IID IID_IScanningTuner;
extern const IID IID_IComponentType;
extern const IID IID_ILanguageComponentType;
extern const IID IID_IMPEG2ComponentType;
extern const IID IID_IATSCComponentType;
extern const IID IID_IEnumComponentTypes;
extern const IID IID_IComponentTypes;
extern const IID IID_IComponent;
extern const IID IID_IMPEG2Component;
extern const IID IID_IEnumComponents;
extern const IID IID_IComponents;
extern const IID IID_ILocator;
extern const IID IID_IATSCLocator;
extern const IID IID_IDVBTLocator;
extern const IID IID_IDVBSLocator;
extern const IID IID_IDVBCLocator;
extern const IID IID_IBroadcastEvent;
extern const IID IID_IEnumDMO;
extern const IID IID_IMediaBuffer;
extern const IID IID_IMediaObject;
extern const IID IID_IMediaObjectInPlace;
extern const IID IID_IDMOQualityControl;
extern const IID IID_IDMOVideoOutputOptimizations;
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IServiceProvider;
extern const IID IID_IPropertyStorage;
extern const IID IID_IPropertySetStorage;
extern const IID IID_IEnumSTATPROPSTG;
extern const IID IID_IEnumSTATPROPSETSTG;
extern const IID IID_IMarshal;
extern const IID IID_INoMarshal;
extern const IID IID_IAgileObject;
extern const IID IID_IAgileReference;
extern const IID IID_IMarshal2;
extern const IID IID_IMalloc;
extern const IID IID_IStdMarshalInfo;
extern const IID IID_IDMOWrapperFilter;
extern const IID IID_IExternalConnection;
extern const IID IID_IMultiQI;
extern const IID IID_IInternalUnknown;
extern const IID IID_IEnumUnknown;
extern const IID IID_IEnumString;
extern const IID IID_ISequentialStream;
extern const IID IID_IStream;
extern const IID IID_IRpcChannelBuffer;
extern const IID IID_IRpcChannelBuffer2;
extern const IID IID_IAsyncRpcChannelBuffer;
extern const IID IID_IRpcChannelBuffer3;
extern const IID IID_IRpcSyntaxNegotiate;
extern const IID IID_IRpcProxyBuffer;
extern const IID IID_IRpcStubBuffer;
extern const IID IID_IPSFactoryBuffer;
extern const IID IID_IChannelHook;
extern const IID IID_IClientSecurity;
extern const IID IID_IServerSecurity;
extern const IID IID_IRpcOptions;
extern const IID IID_IGlobalOptions;
extern const IID IID_ISurrogate;
extern const IID IID_IGlobalInterfaceTable;
extern const IID IID_ISynchronize;
extern const IID IID_ISynchronizeHandle;
extern const IID IID_ISynchronizeEvent;
extern const IID IID_ISynchronizeContainer;
extern const IID IID_ISynchronizeMutex;
extern const IID IID_ICancelMethodCalls;
extern const IID IID_IAsyncManager;
extern const IID IID_ICallFactory;
extern const IID IID_IRpcHelper;
extern const IID IID_IReleaseMarshalBuffers;
extern const IID IID_IWaitMultiple;
extern const IID IID_IAddrTrackingControl;
extern const IID IID_IAddrExclusionControl;
extern const IID IID_IPipeByte;
extern const IID IID_IPipeLong;
extern const IID IID_IPipeDouble;
extern const IID IID_IEnumContextProps;
extern const IID IID_IContext;
extern const IID IID_IComThreadingInfo;
extern const IID IID_IProcessInitControl;
extern const IID IID_IFastRundown;
extern const IID IID_IMarshalingStream;
extern const IID IID_IMallocSpy;
extern const IID IID_IBindCtx;
extern const IID IID_IEnumMoniker;
extern const IID IID_IRunnableObject;
extern const IID IID_IRunningObjectTable;
extern const IID IID_IPersist;
extern const IID IID_IPersistStream;
extern const IID IID_IMoniker;
extern const IID IID_IROTData;
extern const IID IID_IEnumSTATSTG;
extern const IID IID_IPersistFile;
extern const IID IID_IPersistStorage;
extern const IID IID_ILockBytes;
extern const IID IID_IEnumFORMATETC;
extern const IID IID_IEnumSTATDATA;
extern const IID IID_IRootStorage;
extern const IID IID_IAdviseSink;
extern const IID IID_IAdviseSink2;
extern const IID IID_IDataObject;
extern const IID IID_IDataAdviseHolder;
extern const IID IID_IMessageFilter;
extern const IID IID_IClassActivator;
extern const IID IID_IFillLockBytes;
extern const IID IID_IProgressNotify;
extern const IID IID_ILayoutStorage;
extern const IID IID_IBlockingLock;
extern const IID IID_ITimeAndNoticeControl;
extern const IID IID_IOplockStorage;
extern const IID IID_IDirectWriterLock;
extern const IID IID_IUrlMon;
extern const IID IID_IForegroundTransfer;
extern const IID IID_IThumbnailExtractor;
extern const IID IID_IDummyHICONIncluder;
extern const IID IID_IProcessLock;
extern const IID IID_ISurrogateService;
extern const IID IID_IInitializeSpy;
extern const IID IID_IApartmentShutdown;
extern const IID IID_ICreateTypeInfo;
extern const IID IID_ICreateTypeInfo2;
extern const IID IID_ICreateTypeLib;
extern const IID IID_ICreateTypeLib2;
extern const IID IID_IDispatch;
extern const IID IID_IEnumVARIANT;
extern const IID IID_ITypeComp;
extern const IID IID_ITypeInfo;
extern const IID IID_ITypeInfo2;
extern const IID IID_ITypeLib;
extern const IID IID_ITypeLib2;
extern const IID IID_ITypeChangeEvents;
extern const IID IID_IErrorInfo;
extern const IID IID_ICreateErrorInfo;
extern const IID IID_ISupportErrorInfo;
extern const IID IID_ITypeFactory;
extern const IID IID_ITypeMarshal;
extern const IID IID_IRecordInfo;
extern const IID IID_IErrorLog;
extern const IID IID_IPropertyBag;
extern const IID IID_IEnumConnections;
extern const IID IID_IConnectionPoint;
extern const IID IID_IEnumConnectionPoints;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IClassFactory2;
extern const IID IID_IProvideClassInfo;
extern const IID IID_IProvideClassInfo2;
extern const IID IID_IStorage;
}

const TKnownInterface KnownInterfaces[KnownInterfaceCount] = {
    {L"IPin", &IID_IPin},
    {L"ICreateDevEnum", &IID_ICreateDevEnum},
    {L"IEnumPins", &IID_IEnumPins},
    {L"IEnumMediaTypes", &IID_IEnumMediaTypes},
    {L"IFilterGraph", &IID_IFilterGraph},
    {L"IEnumFilters", &IID_IEnumFilters},
    {L"IMediaFilter", &IID_IMediaFilter},
    {L"IBaseFilter", &IID_IBaseFilter},
    {L"IReferenceClock", &IID_IReferenceClock},
    {L"IReferenceClock2", &IID_IReferenceClock2},
    {L"IMediaSample", &IID_IMediaSample},
    {L"IMediaSample2", &IID_IMediaSample2},
    {L"IMemAllocator", &IID_IMemAllocator},
    {L"IMemAllocatorCallbackTemp", &IID_IMemAllocatorCallbackTemp},
    {L"IMemAllocatorNotifyCallbackTemp", &IID_IMemAllocatorNotifyCallbackTemp},
    {L"IMemInputPin", &IID_IMemInputPin},
    {L"IAMovieSetup", &IID_IAMovieSetup},
    {L"IMediaSeeking", &IID_IMediaSeeking},
    {L"IEnumRegFilters", &IID_IEnumRegFilters},
    {L"IFilterMapper", &IID_IFilterMapper},
    {L"IFilterMapper2", &IID_IFilterMapper2},
    {L"IFilterMapper3", &IID_IFilterMapper3},
    {L"IQualityControl", &IID_IQualityControl},
    {L"IOverlayNotify", &IID_IOverlayNotify},
    {L"IOverlayNotify2", &IID_IOverlayNotify2},
    {L"IOverlay", &IID_IOverlay},
    {L"IMediaEventSink", &IID_IMediaEventSink},
    {L"IFileSourceFilter", &IID_IFileSourceFilter},
    {L"IFileSinkFilter", &IID_IFileSinkFilter},
    {L"IFileSinkFilter2", &IID_IFileSinkFilter2},
    {L"IGraphBuilder", &IID_IGraphBuilder},
    {L"ICaptureGraphBuilder", &IID_ICaptureGraphBuilder},
    {L"IAMCopyCaptureFileProgress", &IID_IAMCopyCaptureFileProgress},
    {L"ICaptureGraphBuilder2", &IID_ICaptureGraphBuilder2},
    {L"IConfigAviMux", &IID_IConfigAviMux},
    {L"IConfigInterleaving", &IID_IConfigInterleaving},
    {L"IAMClockSlave", &IID_IAMClockSlave},
    {L"IFilterGraph2", &IID_IFilterGraph2},
    {L"IStreamBuilder", &IID_IStreamBuilder},
    {L"IAMStreamConfig", &IID_IAMStreamConfig},
    {L"IAMVideoProcAmp", &IID_IAMVideoProcAmp},
    {L"IAsyncReader", &IID_IAsyncReader},
    {L"IGraphVersion", &IID_IGraphVersion},
    {L"IAMVfwCompressDialogs", &IID_IAMVfwCompressDialogs},
    {L"IResourceConsumer", &IID_IResourceConsumer},
    {L"IResourceManager", &IID_IResourceManager},
    {L"IAMStreamControl", &IID_IAMStreamControl},
    {L"IKsPropertySet", &IID_IKsPropertySet},
    {L"IMediaPropertyBag", &IID_IMediaPropertyBag},
    {L"IPersistMediaPropertyBag", &IID_IPersistMediaPropertyBag},
    {L"ISeekingPassThru", &IID_ISeekingPassThru},
    {L"IAMFilterMiscFlags", &IID_IAMFilterMiscFlags},
    {L"IAMGraphBuilderCallback", &IID_IAMGraphBuilderCallback},
    {L"IAMVfwCaptureDialogs", &IID_IAMVfwCaptureDialogs},
    {L"IAMCameraControl", &IID_IAMCameraControl},
    {L"IAMVideoControl", &IID_IAMVideoControl},
    {L"IAMBufferNegotiation", &IID_IAMBufferNegotiation},
    {L"IAMDroppedFrames", &IID_IAMDroppedFrames},
    {L"IAMLatency", &IID_IAMLatency},
    {L"IAMPushSource", &IID_IAMPushSource},
    {L"IAMVideoCompression", &IID_IAMVideoCompression},
    {L"IAMCrossbar", &IID_IAMCrossbar},
    {L"IAMTunerNotification", &IID_IAMTunerNotification},
    {L"IAMTuner", &IID_IAMTuner},
    {L"IAMTVTuner", &IID_IAMTVTuner},
    {L"IVideoFrameStep", &IID_IVideoFrameStep},
    {L"IDistributorNotify", &IID_IDistributorNotify},
    {L"IAMAudioInputMixer", &IID_IAMAudioInputMixer},
    {L"IAMAnalogVideoDecoder", &IID_IAMAnalogVideoDecoder},
    {L"IBPCSatelliteTuner", &IID_IBPCSatelliteTuner},
    {L"IAMTVAudio", &IID_IAMTVAudio},
    {L"IAMTVAudioNotification", &IID_IAMTVAudioNotification},
    {L"IAMAnalogVideoEncoder", &IID_IAMAnalogVideoEncoder},
    {L"IAMPhysicalPinInfo", &IID_IAMPhysicalPinInfo},
    {L"IAMExtDevice", &IID_IAMExtDevice},
    {L"IAMExtTransport", &IID_IAMExtTransport},
    {L"IAMTimecodeReader", &IID_IAMTimecodeReader},
    {L"IAMTimecodeGenerator", &IID_IAMTimecodeGenerator},
    {L"IAMTimecodeDisplay", &IID_IAMTimecodeDisplay},
    {L"IAMDevMemoryAllocator", &IID_IAMDevMemoryAllocator},
    {L"IAMDevMemoryControl", &IID_IAMDevMemoryControl},
    {L"IAMStreamSelect", &IID_IAMStreamSelect},
    {L"IAMResourceControl", &IID_IAMResourceControl},
    {L"IAMClockAdjust", &IID_IAMClockAdjust},
    {L"IDrawVideoImage", &IID_IDrawVideoImage},
    {L"IDecimateVideoImage", &IID_IDecimateVideoImage},
    {L"IAMVideoDecimationProperties", &IID_IAMVideoDecimationProperties},
    {L"IAMDeviceRemoval", &IID_IAMDeviceRemoval},
    {L"IDVEnc", &IID_IDVEnc},
    {L"IIPDVDec", &IID_IIPDVDec},
    {L"IDVRGB219", &IID_IDVRGB219},
    {L"IDVSplitter", &IID_IDVSplitter},
    {L"IAMAudioRendererStats", &IID_IAMAudioRendererStats},
    {L"IAMGraphStreams", &IID_IAMGraphStreams},
    {L"IAMOverlayFX", &IID_IAMOverlayFX},
    {L"IAMOpenProgress", &IID_IAMOpenProgress},
    {L"IMpeg2Demultiplexer", &IID_IMpeg2Demultiplexer},
    {L"IEnumStreamIdMap", &IID_IEnumStreamIdMap},
    {L"IMPEG2StreamIdMap", &IID_IMPEG2StreamIdMap},
    {L"IRegisterServiceProvider", &IID_IRegisterServiceProvider},
    {L"ICodecAPI", &IID_ICodecAPI},
    {L"IGetCapabilitiesKey", &IID_IGetCapabilitiesKey},
    {L"IEncoderAPI", &IID_IEncoderAPI},
    {L"IVideoEncoder", &IID_IVideoEncoder},
    {L"IAMDecoderCaps", &IID_IAMDecoderCaps},
    {L"IDvdControl", &IID_IDvdControl},
    {L"IDvdInfo", &IID_IDvdInfo},
    {L"IDvdCmd", &IID_IDvdCmd},
    {L"IDvdState", &IID_IDvdState},
    {L"IDvdControl2", &IID_IDvdControl2},
    {L"IDvdInfo2", &IID_IDvdInfo2},
    {L"IDvdGraphBuilder", &IID_IDvdGraphBuilder},
    {L"IDDrawExclModeVideo", &IID_IDDrawExclModeVideo},
    {L"IDDrawExclModeVideoCallback", &IID_IDDrawExclModeVideoCallback},
    {L"IPinConnection", &IID_IPinConnection},
    {L"IPinFlowControl", &IID_IPinFlowControl},
    {L"IGraphConfig", &IID_IGraphConfig},
    {L"IGraphConfigCallback", &IID_IGraphConfigCallback},
    {L"IFilterChain", &IID_IFilterChain},
    {L"IVMRImagePresenter", &IID_IVMRImagePresenter},
    {L"IVMRSurfaceAllocator", &IID_IVMRSurfaceAllocator},
    {L"IVMRSurfaceAllocatorNotify", &IID_IVMRSurfaceAllocatorNotify},
    {L"IVMRWindowlessControl", &IID_IVMRWindowlessControl},
    {L"IVMRMixerControl", &IID_IVMRMixerControl},
    {L"IVMRMonitorConfig", &IID_IVMRMonitorConfig},
    {L"IVMRFilterConfig", &IID_IVMRFilterConfig},
    {L"IVMRAspectRatioControl", &IID_IVMRAspectRatioControl},
    {L"IVMRDeinterlaceControl", &IID_IVMRDeinterlaceControl},
    {L"IVMRMixerBitmap", &IID_IVMRMixerBitmap},
    {L"IVMRImageCompositor", &IID_IVMRImageCompositor},
    {L"IVMRVideoStreamControl", &IID_IVMRVideoStreamControl},
    {L"IVMRSurface", &IID_IVMRSurface},
    {L"IVMRImagePresenterConfig", &IID_IVMRImagePresenterConfig},
    {L"IVMRImagePresenterExclModeConfig", &IID_IVMRImagePresenterExclModeConfig},
    {L"IVPManager", &IID_IVPManager},
    {L"IMediaControl", &IID_IMediaControl},
    {L"IAMCollection", &IID_IAMCollection},
    {L"IMediaEvent", &IID_IMediaEvent},
    {L"IMediaEventEx", &IID_IMediaEventEx},
    {L"IMediaPosition", &IID_IMediaPosition},
    {L"IBasicAudio", &IID_IBasicAudio},
    {L"IVideoWindow", &IID_IVideoWindow},
    {L"IBasicVideo", &IID_IBasicVideo},
    {L"IBasicVideo2", &IID_IBasicVideo2},
    {L"IDeferredCommand", &IID_IDeferredCommand},
    {L"IQueueCommand", &IID_IQueueCommand},
    {L"IFilterInfo", &IID_IFilterInfo},
    {L"IRegFilterInfo", &IID_IRegFilterInfo},
    {L"IMediaTypeInfo", &IID_IMediaTypeInfo},
    {L"IPinInfo", &IID_IPinInfo},
    {L"IAMStats", &IID_IAMStats},
    {L"ISampleGrabberCB", &IID_ISampleGrabberCB},
    {L"ISampleGrabber", &IID_ISampleGrabber},
    {L"IMediaDet", &IID_IMediaDet},
    {L"IMediaLocator", &IID_IMediaLocator},
    {L"IPropertySetter", &IID_IPropertySetter},
    {L"IAMErrorLog", &IID_IAMErrorLog},
    {L"IAMSetErrorLog", &IID_IAMSetErrorLog},
    {L"IAMTimeline", &IID_IAMTimeline},
    {L"IAMTimelineGroup", &IID_IAMTimelineGroup},
    {L"IAMTimelineObj", &IID_IAMTimelineObj},
    {L"IAMTimelineSrc", &IID_IAMTimelineSrc},
    {L"IKsPin", &IID_IKsPin},
    {L"IKsPinFactory", &IID_IKsPinFactory},
    {L"IKsDataTypeHandler", &IID_IKsDataTypeHandler},
    {L"IKsInterfaceHandler", &IID_IKsInterfaceHandler},
    {L"IDirectShowStream", &IID_IDirectShowStream},
    {L"IAMMultiMediaStream", &IID_IAMMultiMediaStream},
    {L"IAMMediaStream", &IID_IAMMediaStream},
    {L"IMediaStreamFilter", &IID_IMediaStreamFilter},
    {L"IDirectDrawMediaSampleAllocator", &IID_IDirectDrawMediaSampleAllocator},
    {L"IDirectDrawMediaSample", &IID_IDirectDrawMediaSample},
    {L"IAMMediaTypeStream", &IID_IAMMediaTypeStream},
    {L"IAMMediaTypeSample", &IID_IAMMediaTypeSample},
    {L"IAudioMediaStream", &IID_IAudioMediaStream},
    {L"IAudioStreamSample", &IID_IAudioStreamSample},
    {L"IMemoryData", &IID_IMemoryData},
    {L"IAudioData", &IID_IAudioData},
    {L"IDirectDrawMediaStream", &IID_IDirectDrawMediaStream},
    {L"IDirectDrawStreamSample", &IID_IDirectDrawStreamSample},
    {L"IMultiMediaStream", &IID_IMultiMediaStream},
    {L"IMediaStream", &IID_IMediaStream},
    {L"IStreamSample", &IID_IStreamSample},
    {L"IVMRImagePresenter9", &IID_IVMRImagePresenter9},
    {L"IVMRSurfaceAllocator9", &IID_IVMRSurfaceAllocator9},
    {L"IVMRSurfaceAllocatorNotify9", &IID_IVMRSurfaceAllocatorNotify9},
    {L"IVMRWindowlessControl9", &IID_IVMRWindowlessControl9},
    {L"IVMRMixerControl9", &IID_IVMRMixerControl9},
    {L"IVMRMixerBitmap9", &IID_IVMRMixerBitmap9},
    {L"IVMRSurface9", &IID_IVMRSurface9},
    {L"IVMRImagePresenterConfig9", &IID_IVMRImagePresenterConfig9},
    {L"IVMRVideoStreamControl9", &IID_IVMRVideoStreamControl9},
    {L"IVMRFilterConfig9", &IID_IVMRFilterConfig9},
    {L"IVMRAspectRatioControl9", &IID_IVMRAspectRatioControl9},
    {L"IVMRMonitorConfig9", &IID_IVMRMonitorConfig9},
    {L"IVMRDeinterlaceControl9", &IID_IVMRDeinterlaceControl9},
    {L"IVMRImageCompositor9", &IID_IVMRImageCompositor9},
    {L"IBDA_NetworkProvider", &IID_IBDA_NetworkProvider},
    {L"IBDA_EthernetFilter", &IID_IBDA_EthernetFilter},
    {L"IBDA_IPV4Filter", &IID_IBDA_IPV4Filter},
    {L"IBDA_IPV6Filter", &IID_IBDA_IPV6Filter},
    {L"IBDA_DeviceControl", &IID_IBDA_DeviceControl},
    {L"IBDA_PinControl", &IID_IBDA_PinControl},
    {L"IBDA_SignalProperties", &IID_IBDA_SignalProperties},
    {L"IBDA_SignalStatistics", &IID_IBDA_SignalStatistics},
    {L"IBDA_Topology", &IID_IBDA_Topology},
    {L"IBDA_VoidTransform", &IID_IBDA_VoidTransform},
    {L"IBDA_NullTransform", &IID_IBDA_NullTransform},
    {L"IBDA_FrequencyFilter", &IID_IBDA_FrequencyFilter},
    {L"IBDA_LNBInfo", &IID_IBDA_LNBInfo},
    {L"IBDA_AutoDemodulate", &IID_IBDA_AutoDemodulate},
    {L"IBDA_DigitalDemodulator", &IID_IBDA_DigitalDemodulator},
    {L"IBDA_IPSinkControl", &IID_IBDA_IPSinkControl},
    {L"IBDA_IPSinkInfo", &IID_IBDA_IPSinkInfo},
    {L"IEnumPIDMap", &IID_IEnumPIDMap},
    {L"IMPEG2PIDMap", &IID_IMPEG2PIDMap},
    {L"IFrequencyMap", &IID_IFrequencyMap},
    {L"ITuningSpaces", &IID_ITuningSpaces},
    {L"ITuningSpaceContainer", &IID_ITuningSpaceContainer},
    {L"ITuningSpace", &IID_ITuningSpace},
    {L"IEnumTuningSpaces", &IID_IEnumTuningSpaces},
    {L"IDVBTuningSpace", &IID_IDVBTuningSpace},
    {L"IDVBTuningSpace2", &IID_IDVBTuningSpace2},
    {L"IDVBSTuningSpace", &IID_IDVBSTuningSpace},
    {L"IAuxInTuningSpace", &IID_IAuxInTuningSpace},
    {L"IAnalogTVTuningSpace", &IID_IAnalogTVTuningSpace},
    {L"IATSCTuningSpace", &IID_IATSCTuningSpace},
    {L"IAnalogRadioTuningSpace", &IID_IAnalogRadioTuningSpace},
    {L"ITuneRequest", &IID_ITuneRequest},
    {L"IChannelTuneRequest", &IID_IChannelTuneRequest},
    {L"IATSCChannelTuneRequest", &IID_IATSCChannelTuneRequest},
    {L"IDVBTuneRequest", &IID_IDVBTuneRequest},
    {L"IMPEG2TuneRequest", &IID_IMPEG2TuneRequest},
    {L"IMPEG2TuneRequestFactory", &IID_IMPEG2TuneRequestFactory},
    {L"IMPEG2TuneRequestSupport", &IID_IMPEG2TuneRequestSupport},
    {L"ITuner", &IID_ITuner},
    {L"IScanningTuner", &IID_IScanningTuner},
    {L"IComponentType", &IID_IComponentType},
    {L"ILanguageComponentType", &IID_ILanguageComponentType},
    {L"IMPEG2ComponentType", &IID_IMPEG2ComponentType},
    {L"IATSCComponentType", &IID_IATSCComponentType},
    {L"IEnumComponentTypes", &IID_IEnumComponentTypes},
    {L"IComponentTypes", &IID_IComponentTypes},
    {L"IComponent", &IID_IComponent},
    {L"IMPEG2Component", &IID_IMPEG2Component},
    {L"IEnumComponents", &IID_IEnumComponents},
    {L"IComponents", &IID_IComponents},
    {L"ILocator", &IID_ILocator},
    {L"IATSCLocator", &IID_IATSCLocator},
    {L"IDVBTLocator", &IID_IDVBTLocator},
    {L"IDVBSLocator", &IID_IDVBSLocator},
    {L"IDVBCLocator", &IID_IDVBCLocator},
    {L"IBroadcastEvent", &IID_IBroadcastEvent},
    {L"IEnumDMO", &IID_IEnumDMO},
    {L"IMediaBuffer", &IID_IMediaBuffer},
    {L"IMediaObject", &IID_IMediaObject},
    {L"IMediaObjectInPlace", &IID_IMediaObjectInPlace},
    {L"IDMOQualityControl", &IID_IDMOQualityControl},
    {L"IDMOVideoOutputOptimizations", &IID_IDMOVideoOutputOptimizations},
    {L"IUnknown", &IID_IUnknown},
    {L"IClassFactory", &IID_IClassFactory},
    {L"IServiceProvider", &IID_IServiceProvider},
    {L"IPropertyStorage", &IID_IPropertyStorage},
    {L"IPropertySetStorage", &IID_IPropertySetStorage},
    {L"IEnumSTATPROPSTG", &IID_IEnumSTATPROPSTG},
    {L"IEnumSTATPROPSETSTG", &IID_IEnumSTATPROPSETSTG},
    {L"IMarshal", &IID_IMarshal},
    {L"INoMarshal", &IID_INoMarshal},
    {L"IAgileObject", &IID_IAgileObject},
    {L"IAgileReference", &IID_IAgileReference},
    {L"IMarshal2", &IID_IMarshal2},
    {L"IMalloc", &IID_IMalloc},
    {L"IStdMarshalInfo", &IID_IStdMarshalInfo},
    {L"IDMOWrapperFilter", &IID_IDMOWrapperFilter},
    {L"IExternalConnection", &IID_IExternalConnection},
    {L"IMultiQI", &IID_IMultiQI},
    {L"IInternalUnknown", &IID_IInternalUnknown},
    {L"IEnumUnknown", &IID_IEnumUnknown},
    {L"IEnumString", &IID_IEnumString},
    {L"ISequentialStream", &IID_ISequentialStream},
    {L"IStream", &IID_IStream},
    {L"IRpcChannelBuffer", &IID_IRpcChannelBuffer},
    {L"IRpcChannelBuffer2", &IID_IRpcChannelBuffer2},
    {L"IAsyncRpcChannelBuffer", &IID_IAsyncRpcChannelBuffer},
    {L"IRpcChannelBuffer3", &IID_IRpcChannelBuffer3},
    {L"IRpcSyntaxNegotiate", &IID_IRpcSyntaxNegotiate},
    {L"IRpcProxyBuffer", &IID_IRpcProxyBuffer},
    {L"IRpcStubBuffer", &IID_IRpcStubBuffer},
    {L"IPSFactoryBuffer", &IID_IPSFactoryBuffer},
    {L"IChannelHook", &IID_IChannelHook},
    {L"IClientSecurity", &IID_IClientSecurity},
    {L"IServerSecurity", &IID_IServerSecurity},
    {L"IRpcOptions", &IID_IRpcOptions},
    {L"IGlobalOptions", &IID_IGlobalOptions},
    {L"ISurrogate", &IID_ISurrogate},
    {L"IGlobalInterfaceTable", &IID_IGlobalInterfaceTable},
    {L"ISynchronize", &IID_ISynchronize},
    {L"ISynchronizeHandle", &IID_ISynchronizeHandle},
    {L"ISynchronizeEvent", &IID_ISynchronizeEvent},
    {L"ISynchronizeContainer", &IID_ISynchronizeContainer},
    {L"ISynchronizeMutex", &IID_ISynchronizeMutex},
    {L"ICancelMethodCalls", &IID_ICancelMethodCalls},
    {L"IAsyncManager", &IID_IAsyncManager},
    {L"ICallFactory", &IID_ICallFactory},
    {L"IRpcHelper", &IID_IRpcHelper},
    {L"IReleaseMarshalBuffers", &IID_IReleaseMarshalBuffers},
    {L"IWaitMultiple", &IID_IWaitMultiple},
    {L"IAddrTrackingControl", &IID_IAddrTrackingControl},
    {L"IAddrExclusionControl", &IID_IAddrExclusionControl},
    {L"IPipeByte", &IID_IPipeByte},
    {L"IPipeLong", &IID_IPipeLong},
    {L"IPipeDouble", &IID_IPipeDouble},
    {L"IEnumContextProps", &IID_IEnumContextProps},
    {L"IContext", &IID_IContext},
    {L"IComThreadingInfo", &IID_IComThreadingInfo},
    {L"IProcessInitControl", &IID_IProcessInitControl},
    {L"IFastRundown", &IID_IFastRundown},
    {L"IMarshalingStream", &IID_IMarshalingStream},
    {L"IMallocSpy", &IID_IMallocSpy},
    {L"IBindCtx", &IID_IBindCtx},
    {L"IEnumMoniker", &IID_IEnumMoniker},
    {L"IRunnableObject", &IID_IRunnableObject},
    {L"IRunningObjectTable", &IID_IRunningObjectTable},
    {L"IPersist", &IID_IPersist},
    {L"IPersistStream", &IID_IPersistStream},
    {L"IMoniker", &IID_IMoniker},
    {L"IROTData", &IID_IROTData},
    {L"IEnumSTATSTG", &IID_IEnumSTATSTG},
    {L"IPersistFile", &IID_IPersistFile},
    {L"IPersistStorage", &IID_IPersistStorage},
    {L"ILockBytes", &IID_ILockBytes},
    {L"IEnumFORMATETC", &IID_IEnumFORMATETC},
    {L"IEnumSTATDATA", &IID_IEnumSTATDATA},
    {L"IRootStorage", &IID_IRootStorage},
    {L"IAdviseSink", &IID_IAdviseSink},
    {L"IAdviseSink2", &IID_IAdviseSink2},
    {L"IDataObject", &IID_IDataObject},
    {L"IDataAdviseHolder", &IID_IDataAdviseHolder},
    {L"IMessageFilter", &IID_IMessageFilter},
    {L"IClassActivator", &IID_IClassActivator},
    {L"IFillLockBytes", &IID_IFillLockBytes},
    {L"IProgressNotify", &IID_IProgressNotify},
    {L"ILayoutStorage", &IID_ILayoutStorage},
    {L"IBlockingLock", &IID_IBlockingLock},
    {L"ITimeAndNoticeControl", &IID_ITimeAndNoticeControl},
    {L"IOplockStorage", &IID_IOplockStorage},
    {L"IDirectWriterLock", &IID_IDirectWriterLock},
    {L"IUrlMon", &IID_IUrlMon},
    {L"IForegroundTransfer", &IID_IForegroundTransfer},
    {L"IThumbnailExtractor", &IID_IThumbnailExtractor},
    {L"IDummyHICONIncluder", &IID_IDummyHICONIncluder},
    {L"IProcessLock", &IID_IProcessLock},
    {L"ISurrogateService", &IID_ISurrogateService},
    {L"IInitializeSpy", &IID_IInitializeSpy},
    {L"IApartmentShutdown", &IID_IApartmentShutdown},
    {L"ICreateTypeInfo", &IID_ICreateTypeInfo},
    {L"ICreateTypeInfo2", &IID_ICreateTypeInfo2},
    {L"ICreateTypeLib", &IID_ICreateTypeLib},
    {L"ICreateTypeLib2", &IID_ICreateTypeLib2},
    {L"IDispatch", &IID_IDispatch},
    {L"IEnumVARIANT", &IID_IEnumVARIANT},
    {L"ITypeComp", &IID_ITypeComp},
    {L"ITypeInfo", &IID_ITypeInfo},
    {L"ITypeInfo2", &IID_ITypeInfo2},
    {L"ITypeLib", &IID_ITypeLib},
    {L"ITypeLib2", &IID_ITypeLib2},
    {L"ITypeChangeEvents", &IID_ITypeChangeEvents},
    {L"IErrorInfo", &IID_IErrorInfo},
    {L"ICreateErrorInfo", &IID_ICreateErrorInfo},
    {L"ISupportErrorInfo", &IID_ISupportErrorInfo},
    {L"ITypeFactory", &IID_ITypeFactory},
    {L"ITypeMarshal", &IID_ITypeMarshal},
    {L"IRecordInfo", &IID_IRecordInfo},
    {L"IErrorLog", &IID_IErrorLog},
    {L"IPropertyBag", &IID_IPropertyBag},
    {L"IEnumConnections", &IID_IEnumConnections},
    {L"IConnectionPoint", &IID_IConnectionPoint},
    {L"IEnumConnectionPoints", &IID_IEnumConnectionPoints},
    {L"IConnectionPointContainer", &IID_IConnectionPointContainer},
    {L"IClassFactory2", &IID_IClassFactory2},
    {L"IProvideClassInfo", &IID_IProvideClassInfo},
    {L"IProvideClassInfo2", &IID_IProvideClassInfo2},
    {L"IStorage", &IID_IStorage},
};
