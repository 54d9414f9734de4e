// The stand-in host library; filled by the host loader and services.
