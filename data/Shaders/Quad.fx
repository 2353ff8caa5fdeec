<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 1"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Quad.vert" fragment="Shaders/Quad.frag">
			<State name="ZEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueHUD">
		<Pass vertex="Shaders/Quad.vert" fragment="Shaders/Quad.frag">
			<State name="ZEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
