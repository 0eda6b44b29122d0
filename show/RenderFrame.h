// One frame of the show: the five layers in their order.
#pragma once

void RenderFrame();
