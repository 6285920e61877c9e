#pragma once
// Helpers of the graph widget tests: a graph on a view of known size, its
// scene items by type, and the scene painted into an image pixel for pixel.

#include "fgraph/LwFGraph.h"
#include "fgraph/QGraphicsSceneFG.h"

#include <QGraphicsItem>
#include <QGraphicsView>
#include <QImage>

#include <gtest/gtest.h>

#include <vector>

// A graph on a view of `width` x `height` device pixels; the test binary's
// screen has 96 dpi, so scene pixels are device pixels and the canvas is
// (width - 2) x (height - 2).
class FGraphOnView : public ::testing::Test
{
protected:
    void Attach(int width, int height)
    {
        view_.resize(width, height);
        graph_.SetView(&view_);
    }
    LwFGraphImpl& Impl() { return graph_.Impl(); }
    QGraphicsSceneFG* Scene() { return Impl().Scene(); }
    double W() { return Impl().Canvas.Width; }
    double H() { return Impl().Canvas.Height; }

    template <class T>
    std::vector<T*> ItemsOf()
    {
        std::vector<T*> out;
        for (QGraphicsItem* i : Scene()->items(Qt::AscendingOrder))
            if (auto* t = dynamic_cast<T*>(i))
                out.push_back(t);
        return out;
    }

    // The scene painted 1:1 into an image of the canvas size.
    QImage Painted()
    {
        QImage image(static_cast<int>(W()), static_cast<int>(H()), QImage::Format_RGB32);
        image.fill(Qt::gray);
        graph_.Render(&image);
        return image;
    }

    // The declaration order tears the graph down before its view.
    QGraphicsView view_;
    FGraph graph_;
};
